#include "system/registry_access.h"

#include <array>
#include <utility>
#include <vector>

#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

std::string Format(std::string_view pattern, std::wstring_view argument) {
    std::string message(pattern);
    message.replace(message.find("%s"), 2, Utf16ToUtf8(argument));
    return message;
}

[[noreturn]] void RaiseWriteError(std::wstring_view name) {
    throw RegistryError(Format("Fehler beim Setzen der Daten für '%s'", name));
}

}  // namespace

OwnedKey& OwnedKey::operator=(OwnedKey&& other) noexcept {
    if (this != &other) {
        Reset();
        registry_ = std::exchange(other.registry_, nullptr);
        key_ = other.key_;
    }
    return *this;
}

void OwnedKey::Reset() {
    if (registry_ != nullptr) {
        std::exchange(registry_, nullptr)->CloseKey(key_);
    }
}

RegistryAccess::RegistryAccess(std::uint32_t access, RegistryBackend& registry)
    : registry_(registry), access_(access) {}

void RegistryAccess::SetRootKey(RegistryRoot root) {
    if (root != root_) {
        root_ = root;
        CloseKey();
    }
}

RegistryAccess::Target RegistryAccess::Resolve(std::wstring_view path) const {
    const bool relative = path.empty() || path.front() != L'\\';
    if (!relative) {
        path.remove_prefix(1);
    }
    const KeyHandle base = relative && current_ ? current_.Get() : registry_.Root(root_);
    return {base, path};
}

bool RegistryAccess::ReplaceCurrent(long result, KeyHandle key) {
    if (result != kErrorSuccess) {
        return false;
    }
    current_ = OwnedKey(registry_, key);
    return true;
}

bool RegistryAccess::OpenKey(std::wstring_view path, bool create) {
    const Target target = Resolve(path);
    KeyHandle key{};
    const long result = create && !target.subKey.empty()
                            ? registry_.CreateKey(target.base, target.subKey, access_, key)
                            : registry_.OpenKey(target.base, target.subKey, access_, key);
    return ReplaceCurrent(result, key);
}

bool RegistryAccess::OpenKeyReadOnly(std::wstring_view path) {
    const Target target = Resolve(path);
    constexpr std::array<std::uint32_t, 3> kMasks = {
        kKeyRead, 0x20000 | kKeyQueryValue | kKeyEnumerateSubKeys, kKeyQueryValue};
    for (const std::uint32_t mask : kMasks) {
        KeyHandle key{};
        if (registry_.OpenKey(target.base, target.subKey, mask | View(), key) == kErrorSuccess) {
            access_ = mask | View();
            return ReplaceCurrent(kErrorSuccess, key);
        }
    }
    return false;
}

void RegistryAccess::CreateKey(std::wstring_view path) {
    const Target target = Resolve(path);
    KeyHandle key{};
    if (registry_.CreateKey(target.base, target.subKey, kKeyAllAccess | View(), key) !=
        kErrorSuccess) {
        throw RegistryError(Format("Erzeugung von Schlüssel %s misslungen", path));
    }
    OwnedKey created(registry_, key);
}

std::wstring RegistryAccess::ReadString(std::wstring_view name) {
    if (!current_) {
        return {};
    }
    RegistryValue value;
    const long result = registry_.QueryValue(current_.Get(), name, value);
    if (result == kErrorFileNotFound) {
        return {};
    }
    if (result != kErrorSuccess) {
        throw RegistryError(Format("Fehler beim Holen der Daten für '%s'", name));
    }
    if (value.type != kRegSz && value.type != kRegExpandSz) {
        throw RegistryError(Format("Ungültiger Datentyp für '%s'", name));
    }
    std::wstring text;
    text.reserve(value.data.size() / 2);
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const auto unit = static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

void RegistryAccess::WriteValue(std::wstring_view name, std::uint32_t type,
                                std::span<const std::uint8_t> data) {
    if (!current_ || registry_.SetValue(current_.Get(), name, type, data) != kErrorSuccess) {
        RaiseWriteError(name);
    }
}

void RegistryAccess::WriteString(std::wstring_view name, std::wstring_view text) {
    WriteValue(name, kRegSz, StringValueData(text));
}

void RegistryAccess::WriteInteger(std::wstring_view name, std::int32_t value) {
    WriteValue(name, kRegDword, DwordValueData(static_cast<std::uint32_t>(value)));
}

void RegistryAccess::WriteBinaryData(std::wstring_view name, std::span<const std::uint8_t> bytes) {
    WriteValue(name, kRegBinary, bytes);
}

bool RegistryAccess::DeleteValue(std::wstring_view name) {
    return current_ && registry_.DeleteValue(current_.Get(), name) == kErrorSuccess;
}

bool RegistryAccess::DeleteKey(std::wstring_view path) {
    const Target target = Resolve(path);
    // An empty name would mean the base key itself: never a root, never by accident.
    return !target.subKey.empty() && DeleteTree(target.base, target.subKey);
}

bool RegistryAccess::DeleteTree(KeyHandle base, std::wstring_view subKey) {
    KeyHandle key{};
    if (registry_.OpenKey(base, subKey, access_, key) == kErrorSuccess) {
        const OwnedKey opened(registry_, key);
        std::vector<std::wstring> children;
        if (registry_.EnumSubKeys(key, children) == kErrorSuccess) {
            for (auto child = children.rbegin(); child != children.rend(); ++child) {
                DeleteTree(key, *child);
            }
        }
    }
    return registry_.DeleteKey(base, subKey, View()) == kErrorSuccess;
}

}  // namespace quarn
