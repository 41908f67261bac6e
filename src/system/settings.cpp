#include "system/settings.h"

#include "system/registry_access.h"
#include "system/release.h"
#include "system/text_case.h"

namespace quarn {
namespace {

std::wstring Read(const wchar_t* name, RegistryBackend& registry) {
    RegistryAccess access(kKeyRead | kSettingsView, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (!access.OpenKeyReadOnly(kSettingsKey)) {
        return {};
    }
    return access.ReadString(name);
}

std::wstring ReadSwallowing(const wchar_t* name, RegistryBackend& registry) {
    try {
        return Read(name, registry);
    } catch (const RegistryError&) {
        return {};
    }
}

// Opens the key for writing, creating it when missing. A key that cannot be
// opened makes the first write raise the layer's write error.
RegistryAccess OpenForWriting(RegistryBackend& registry) {
    RegistryAccess access(kKeyAllAccess | kSettingsView, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kSettingsKey, true);
    return access;
}

void WriteSwallowing(const wchar_t* name, const wchar_t* text, RegistryBackend& registry) {
    try {
        OpenForWriting(registry).WriteString(name, text);
    } catch (const RegistryError&) {
        // The flag is a courtesy to outside programs; its failure stops nothing.
    }
}

}  // namespace

std::wstring ReadAccountName(RegistryBackend& registry) {
    return LowerAZ(ReadSwallowing(L"QUARN-Username", registry));
}

std::wstring ReadPanelPassword(RegistryBackend& registry) {
    return Read(L"PanelPassword", registry);
}

std::wstring ReadPasswordDigest(RegistryBackend& registry) {
    return ReadSwallowing(L"Password", registry);
}

void WritePasswordDigest(const std::wstring& digest, RegistryBackend& registry) {
    OpenForWriting(registry).WriteString(L"Password", digest);
}

std::wstring ReadInstallDir(RegistryBackend& registry) {
    return ReadSwallowing(L"QUARN-DIR", registry);
}

std::wstring ReadProgram(RegistryBackend& registry) {
    return ReadSwallowing(L"Program", registry);
}

std::wstring ReadProgramParameter(RegistryBackend& registry) {
    return ReadSwallowing(L"ProgramParameter", registry);
}

std::wstring ReadCompleteLockDown(RegistryBackend& registry) {
    return Read(L"CompleteLockDown", registry);
}

void WriteCompleteLockDown(bool on, RegistryBackend& registry) {
    RegistryAccess access(kKeyAllAccess | kSettingsView, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kSettingsKey, false);
    access.WriteString(L"CompleteLockDown", on ? L"true" : L"false");
}

std::wstring ReadRelease(RegistryBackend& registry) {
    return Read(L"QUARN-Release", registry);
}

void WriteRelease(const std::wstring& release, RegistryBackend& registry) {
    OpenForWriting(registry).WriteString(L"QUARN-Release", release);
}

void SetQuarnFlag(RegistryBackend& registry) {
    WriteSwallowing(L"quarn", L"1", registry);
}

void ClearQuarnFlag(RegistryBackend& registry) {
    WriteSwallowing(L"quarn", L"0", registry);
}

std::wstring ReadQuarnFlag(RegistryBackend& registry) {
    return ReadSwallowing(L"quarn", registry);
}

void WriteFirstRunDefaults(const std::wstring& programFilesDir,
                           const std::wstring& currentDirectory, RegistryBackend& registry) {
    RegistryAccess access = OpenForWriting(registry);
    access.WriteString(L"Password", L"");
    access.WriteString(L"Program", programFilesDir + L"\\Internet Explorer\\iexplore.exe");
    access.WriteString(L"ProgramParameter", std::wstring(L"-K ") + kDefaultStartPage);
    access.WriteString(L"ProgramDirectory1", L"");
    access.WriteString(L"QUARN-Username", L"quarn");
    access.WriteString(L"QUARN-DIR", currentDirectory);
    access.WriteString(L"UserPolicies", L"true");
    access.WriteString(L"QUARN-Release", BuiltInReleaseW);
    access.WriteString(L"beep", L"1");
}

std::wstring ReadSetting(const std::wstring& name, RegistryBackend& registry) {
    return Read(name.c_str(), registry);
}

void WriteSetting(const std::wstring& name, const std::wstring& text, RegistryBackend& registry) {
    OpenForWriting(registry).WriteString(name, text);
}

}  // namespace quarn
