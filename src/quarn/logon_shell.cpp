#include "quarn/logon_shell.h"

#include "system/registry_access.h"

namespace quarn {

void WriteAutoLogon(bool on, const std::wstring& user, const std::wstring& password,
                    RegistryBackend& registry) {
    try {
        RegistryAccess access(kKeyAllAccess, registry);
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(kWinlogonKey, true);
        access.WriteString(L"AutoAdminLogon", on ? L"1" : L"0");
        access.WriteString(L"DefaultUserName", on ? user : L"");
        access.WriteString(L"DefaultPassword", on ? password : L"");
    } catch (const RegistryError&) {
        // Automatic logon stays as it was; the switch reports nothing.
    }
}

bool ReadAutoLogonOn(RegistryBackend& registry) {
    RegistryAccess access(kKeyRead, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (!access.OpenKey(kWinlogonKey, false)) {
        return false;
    }
    return access.ReadString(L"AutoAdminLogon") == L"1";
}

std::wstring ErrorReportText(const std::wstring& message) {
    if (!message.empty() && message.back() > L'.') {
        return message + L".";
    }
    return message;
}

}  // namespace quarn
