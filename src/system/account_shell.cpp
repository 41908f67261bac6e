#include "system/account_shell.h"

#include "system/registry_access.h"

namespace quarn {

void WriteAccountShell(const std::wstring& hive, const std::wstring& shell,
                       RegistryBackend& registry) {
    RegistryAccess access(kKeyAllAccess, registry);
    access.SetRootKey(RegistryRoot::Users);
    access.OpenKey(L"\\" + hive + kWinlogonKey, false);
    access.WriteString(L"Shell", shell);
}

void RecordAccountShellChange(RestorePoint& point, const std::wstring& hive,
                              RegistryBackend& registry) {
    point.RecordValue(registry, RegistryRoot::Users, hive + kWinlogonKey, L"Shell");
}

std::wstring ReadAccountShell(const std::wstring& hive, RegistryBackend& registry) {
    RegistryAccess access(kKeyRead, registry);
    access.SetRootKey(RegistryRoot::Users);
    if (!access.OpenKey(L"\\" + hive + kWinlogonKey, false)) {
        return {};
    }
    return access.ReadString(L"Shell");
}

}  // namespace quarn
