#include "system/admin_password.h"

#include <vector>

#include "system/md5.h"
#include "system/registry_access.h"
#include "system/settings.h"

namespace quarn {
namespace {

std::vector<std::uint8_t> Utf16LeBytes(std::wstring_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (const wchar_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
    }
    return bytes;
}

std::wstring Widen(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

}  // namespace

std::wstring PasswordDigest(std::wstring_view password) {
    return Widen(Md5Hex(Utf16LeBytes(password)));
}

std::wstring LegacyPasswordDigest(std::wstring_view password) {
    const std::vector<std::uint8_t> all = Utf16LeBytes(password);
    std::vector<std::uint8_t> taken(password.size());
    for (std::size_t j = 0; j < taken.size(); ++j) {
        taken[j] = all[j + 64 * (j / 64)];
    }
    return Widen(Md5Hex(taken));
}

bool CreateAdminPassword(UserPrompts& prompts, RegistryBackend& registry) {
    for (;;) {
        std::wstring first;
        std::wstring second;
        prompts.InputQueryMasked(L"Input Password", L"input", first, true);
        prompts.InputQueryMasked(L"Repeat Password", L"repeat", second, true);
        if (first.size() < kMinimumPasswordLength) {
            prompts.ShowMessage(kPasswordTooShort);
            return false;
        }
        if (first == second) {
            WritePasswordDigest(PasswordDigest(first), registry);
            return true;
        }
    }
}

bool CheckAdminPassword(UserPrompts& prompts, RegistryBackend& registry) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring entry;
        prompts.InputQueryMasked(L"Input Password", L"Password: ", entry, true);
        const std::wstring stored = ReadPasswordDigest(registry);
        if (PasswordDigest(entry) == stored) {
            return true;
        }
        if (!stored.empty() && LegacyPasswordDigest(entry) == stored) {
            // The earlier form cannot tell this entry from others that share
            // its counted bytes, so the entry itself is never stored: only a
            // new password, typed twice, replaces the earlier digest.
            prompts.ShowMessage(kPleaseCreatePassword);
            try {
                CreateAdminPassword(prompts, registry);
            } catch (const RegistryError&) {
                // The station keeps the earlier digest until a later start can store a new one.
            }
            return true;
        }
    }
    return false;
}

}  // namespace quarn
