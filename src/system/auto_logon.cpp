#include "system/auto_logon.h"

#include <algorithm>

#include "system/registry_access.h"
#include "system/text_case.h"

namespace quarn {
namespace {

constexpr const wchar_t* kAutoLogonValues[] = {L"AutoAdminLogon", L"DefaultUserName",
                                               L"DefaultPassword"};

std::wstring ReadWinlogon(const wchar_t* name, RegistryBackend& registry) {
    RegistryAccess access(kKeyRead, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (!access.OpenKey(kWinlogonKey, false)) {
        return {};
    }
    return access.ReadString(name);
}

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

bool HoldsAutoLogon(const RestorePoint& point) {
    const std::wstring key = std::wstring(kWinlogonKey).substr(1);
    return std::any_of(point.Targets().begin(), point.Targets().end(),
                       [&](const RecordedTarget& target) {
                           return target.kind == RecordedKind::Value &&
                                  target.root == RegistryRoot::LocalMachine &&
                                  SameRegistryName(target.keyPath, key) &&
                                  SameRegistryName(target.valueName, kAutoLogonValues[0]);
                       });
}

bool ReadAutoLogonOn(RegistryBackend& registry) {
    return ReadWinlogon(kAutoLogonValues[0], registry) == L"1";
}

std::wstring ReadAutoLogonUser(RegistryBackend& registry) {
    return ReadWinlogon(kAutoLogonValues[1], registry);
}

}  // namespace quarn
