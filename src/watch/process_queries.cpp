#include "watch/process_queries.h"

#include "system/registry_access.h"
#include "system/text_case.h"

namespace quarn {

std::wstring_view FileNamePart(std::wstring_view name) {
    // Windows takes "/" for "\" in a path, and so may an administrator.
    const std::size_t last = name.find_last_of(L"\\/:");
    return last == std::wstring_view::npos ? name : name.substr(last + 1);
}

bool IsProgramRunningIn(const std::vector<ProcessEntry>& processes, std::wstring_view name,
                        const LocaleCase& locale) {
    for (const ProcessEntry& entry : processes) {
        if (locale.equalIgnoringCase(FileNamePart(entry.exeFile), name)) {
            return true;
        }
    }
    return false;
}

std::uint32_t FindProcessIdIn(const std::vector<ProcessEntry>& processes, std::wstring_view text) {
    // Upper-cased or lower-cased makes no difference when only A to Z change.
    const std::wstring wanted = LowerAZ(text);
    if (wanted.empty()) {
        return 0;
    }
    for (const ProcessEntry& entry : processes) {
        if (LowerAZ(FileNamePart(entry.exeFile)).find(wanted) != std::wstring::npos) {
            return entry.processId;
        }
    }
    return 0;
}

std::optional<std::uint32_t> TokenCandidateIn(const std::vector<ProcessEntry>& processes,
                                              std::wstring_view name, const LocaleCase& locale) {
    const std::wstring wanted = locale.lower(name);
    for (const ProcessEntry& entry : processes) {
        if (locale.lower(entry.exeFile) == wanted) {
            return entry.processId;
        }
    }
    return std::nullopt;
}

std::wstring ReadMachineShell(RegistryBackend& registry) {
    RegistryAccess access(kKeyRead, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (!access.OpenKey(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\WinLogon", false)) {
        return {};
    }
    return access.ReadString(L"Shell");
}

}  // namespace quarn
