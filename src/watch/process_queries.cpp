#include "watch/process_queries.h"

#include "system/registry_access.h"

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
    const auto upper = [](std::wstring_view value) {
        std::wstring result(value);
        for (wchar_t& c : result) {
            c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
        }
        return result;
    };
    const std::wstring wanted = upper(text);
    if (wanted.empty()) {
        return 0;
    }
    for (const ProcessEntry& entry : processes) {
        if (upper(FileNamePart(entry.exeFile)).find(wanted) != std::wstring::npos) {
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
