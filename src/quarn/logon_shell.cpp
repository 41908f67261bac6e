#include "quarn/logon_shell.h"

#include "system/registry_access.h"

namespace quarn {

namespace {

constexpr const wchar_t* kAutoLogonValues[] = {L"AutoAdminLogon", L"DefaultUserName",
                                               L"DefaultPassword"};

}  // namespace

void WriteAutoLogon(bool on, const std::wstring& user, const std::wstring& password,
                    RegistryBackend& registry) {
    try {
        RegistryAccess access(kKeyAllAccess, registry);
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(kWinlogonKey, true);
        access.WriteString(kAutoLogonValues[0], on ? L"1" : L"0");
        access.WriteString(kAutoLogonValues[1], on ? user : L"");
        access.WriteString(kAutoLogonValues[2], on ? password : L"");
    } catch (const RegistryError&) {
        // Automatic logon stays as it was; the switch reports nothing.
    }
}

void RecordAutoLogonChange(RestorePoint& point, RegistryBackend& registry) {
    for (const wchar_t* name : kAutoLogonValues) {
        point.RecordValue(registry, RegistryRoot::LocalMachine, kWinlogonKey, name);
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
