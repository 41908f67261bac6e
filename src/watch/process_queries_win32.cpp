#include "watch/process_queries_win32.h"

#include "watch/process_queries.h"

namespace quarn {

const LocaleCase& PlatformLocaleCase() {
    static const LocaleCase locale{
        [](std::wstring_view a, std::wstring_view b) {
            return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                    static_cast<int>(a.size()), b.data(),
                                    static_cast<int>(b.size())) == CSTR_EQUAL;
        },
        [](std::wstring_view text) {
            std::wstring lower(text);
            if (!lower.empty()) {
                ::CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
            }
            return lower;
        }};
    return locale;
}

bool IsProgramRunning(std::wstring_view name) {
    return IsProgramRunningIn(ListProcesses(), name, PlatformLocaleCase());
}

DWORD FindProcessIdByName(std::wstring_view text) {
    return FindProcessIdIn(ListProcesses(), text);
}

win32::unique_handle OpenShellProcess() {
    const std::wstring shell = ReadMachineShell();
    if (shell.empty()) {
        return {};
    }
    const DWORD processId = FindProcessIdByName(shell);
    if (processId == 0) {
        return {};
    }
    return win32::unique_handle(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
}

win32::unique_handle OpenProcessTokenByName(std::wstring_view name) {
    const auto candidate = TokenCandidateIn(ListProcesses(), name, PlatformLocaleCase());
    if (!candidate) {
        return {};
    }
    const win32::unique_handle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, *candidate));
    win32::unique_handle token;
    if (process && process.get() != INVALID_HANDLE_VALUE) {
        ::OpenProcessToken(process.get(), TOKEN_ALL_ACCESS, token.put());
    }
    return token;
}

}  // namespace quarn
