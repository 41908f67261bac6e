#include "system/system_queries.h"

#include "system/registry_access.h"
#include "system/settings.h"
#include "system/text_case.h"

namespace quarn {

std::wstring DomainRoleCode;

VersionClass VersionClassFor(std::uint32_t platform, std::uint32_t major, std::uint32_t minor,
                             std::wstring_view servicePack) {
    constexpr std::uint32_t kWindows9x = 1;
    constexpr std::uint32_t kWindowsNt = 2;
    if (platform == kWindows9x) {
        if (major == 4 && minor == 0) {
            return 1;
        }
        if (major == 4 && minor == 10) {
            return servicePack.size() >= 2 && servicePack[1] == L'A' ? 3 : 2;
        }
        if (major == 4 && minor == 90) {
            return 5;
        }
        return 0;
    }
    if (platform == kWindowsNt) {
        if (major <= 4) {
            return 4;
        }
        if (major == 5 && minor == 0) {
            return 6;
        }
        if (major == 5 && minor == 1) {
            return 7;
        }
        if (major == 6) {
            return kVistaOrLater;
        }
    }
    return 0;
}

std::wstring ReadLastLogonUser(RegistryBackend& registry) {
    RegistryAccess access(kKeyRead, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (!access.OpenKeyReadOnly(
            L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI")) {
        return {};
    }
    std::wstring user = access.ReadString(L"LastLoggedOnSAMUser");
    for (std::size_t slash = user.find(L'\\'); slash != std::wstring::npos;
         slash = user.find(L'\\')) {
        user.erase(0, slash + 1);
    }
    return LowerAZ(user);
}

std::wstring ReadAltDefaultUser(RegistryBackend& registry) {
    try {
        RegistryAccess access(kKeyRead, registry);
        access.SetRootKey(RegistryRoot::LocalMachine);
        if (!access.OpenKeyReadOnly(
                L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon")) {
            return {};
        }
        return LowerAZ(access.ReadString(L"AltDefaultUserName"));
    } catch (const RegistryError&) {
        return {};
    }
}

std::wstring GetLastLoggedOnUser(VersionClass versionClass, RegistryBackend& registry) {
    return versionClass >= kVistaOrLater ? ReadLastLogonUser(registry)
                                         : ReadAltDefaultUser(registry);
}

bool IsLockedAccountAtStation(VersionClass versionClass, RegistryBackend& registry) {
    const std::wstring account = ReadAccountName(registry);
    return !account.empty() && account == GetLastLoggedOnUser(versionClass, registry);
}

std::wstring ReadComputerName(RegistryBackend& registry) {
    try {
        RegistryAccess access(kKeyRead, registry);
        access.SetRootKey(RegistryRoot::LocalMachine);
        if (!access.OpenKeyReadOnly(
                L"\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName")) {
            return {};
        }
        return access.ReadString(L"ComputerName");
    } catch (const RegistryError&) {
        return {};
    }
}

std::wstring GetProgramFilesDir(RegistryBackend& registry) {
    const auto read = [&](std::uint32_t view, const wchar_t* name) {
        RegistryAccess access(kKeyRead | view, registry);
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKeyReadOnly(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
        return access.ReadString(name);
    };
    // The 32-bit view names the directory for 32-bit programs. Where that view
    // lacks the value (a Windows without 32-bit support, such as a 64-bit-only
    // Wine prefix), the 64-bit view's "(x86)" value names the same directory,
    // and a 32-bit Windows has only the plain one.
    std::wstring directory = read(kKeyWow64_32Key, L"ProgramFilesDir");
    if (directory.empty()) {
        directory = read(kKeyWow64_64Key, L"ProgramFilesDir (x86)");
    }
    if (directory.empty()) {
        directory = read(kKeyWow64_64Key, L"ProgramFilesDir");
    }
    return directory;
}

}  // namespace quarn
