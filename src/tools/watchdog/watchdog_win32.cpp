// watchdog.exe: the locked-down account's shell. It shows a plain background
// over the whole desktop and keeps the configured application ("Program" with
// "ProgramParameter" from the settings key) running: when it ends, it is
// started again after a second, and after growing waits while it keeps
// ending quickly (the watch service's rule, RestartBackoff). It never runs
// twice in a session and never starts a second copy of the application.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "system/handle_win32.h"
#include "system/process_list_win32.h"
#include "system/restart_backoff.h"
#include "system/settings.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kWindowClass[] = L"QUARNWatchdogBackground";
constexpr COLORREF kBackground = RGB(24, 38, 56);
// How often the settings are read again while no application is configured
// or its start failed.
constexpr auto kSettingsPoll = std::chrono::seconds(5);
// At most one start a second, as the watch service's ticks.
constexpr auto kPace = std::chrono::seconds(1);

LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_WINDOWPOSCHANGING:
            // The background stays beneath every other window.
            reinterpret_cast<WINDOWPOS*>(lParam)->hwndInsertAfter = HWND_BOTTOM;
            return 0;
        case WM_CLOSE:
            return 0;  // the shell is not closed by a click
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateBackground(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = BackgroundProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ::CreateSolidBrush(kBackground);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    const HWND window = ::CreateWindowExW(
        WS_EX_TOOLWINDOW, kWindowClass, L"QUARN", WS_POPUP | WS_VISIBLE,
        ::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
        ::GetSystemMetrics(SM_CXVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr,
        nullptr, instance, nullptr);
    ::SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return window;
}

bool IsConfigured(const std::wstring& program) {
    return !program.empty() && program != L"*.*";
}

// A process of the application's file name in this session, if one runs.
quarn::win32::unique_handle FindRunningCopy(const std::wstring& program) {
    const std::wstring fileName = std::filesystem::path(program).filename().wstring();
    DWORD ourSession = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &ourSession);
    for (const quarn::ProcessEntry& entry : quarn::ListProcesses()) {
        DWORD session = 0;
        if (::CompareStringOrdinal(entry.exeFile.c_str(), -1, fileName.c_str(), -1, TRUE) ==
                CSTR_EQUAL &&
            ::ProcessIdToSessionId(entry.processId, &session) && session == ourSession) {
            quarn::win32::unique_handle process(::OpenProcess(SYNCHRONIZE, FALSE, entry.processId));
            if (process) {
                return process;
            }
        }
    }
    return {};
}

quarn::win32::unique_handle Start(const std::wstring& program, const std::wstring& parameter) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!parameter.empty()) {
        commandLine += L" " + parameter;
    }
    const std::wstring folder = std::filesystem::path(program).parent_path().wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    quarn::win32::unique_process_information process;
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, process.put())) {
        return {};
    }
    return process.take_process();
}

DWORD MillisecondsUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<DWORD>(left.count());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const quarn::win32::unique_handle mutex(
        ::CreateMutexW(nullptr, TRUE, L"Local\\QUARN watchdog"));
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        return 0;  // this session has its watchdog
    }
    CreateBackground(instance);

    quarn::RestartBackoff backoff;
    std::wstring startedProgram;
    quarn::win32::unique_handle application;
    Clock::time_point nextStart = Clock::now();
    for (;;) {
        if (!application && Clock::now() >= nextStart) {
            const std::wstring program = quarn::ReadProgram();
            if (program != startedProgram) {
                startedProgram = program;
                backoff = quarn::RestartBackoff();  // another application starts afresh
            }
            if (!IsConfigured(program)) {
                nextStart = Clock::now() + kSettingsPoll;
            } else if ((application = FindRunningCopy(program))) {
                // one copy runs already: watch it instead
            } else if ((application = Start(program, quarn::ReadProgramParameter()))) {
                backoff.Started();
            } else {
                nextStart = Clock::now() + kSettingsPoll;
            }
        }
        const HANDLE waitFor[] = {application.get()};
        const DWORD count = application ? 1 : 0;
        const DWORD timeout = application ? INFINITE : MillisecondsUntil(nextStart);
        const DWORD woke = ::MsgWaitForMultipleObjects(count, waitFor, FALSE, timeout, QS_ALLINPUT);
        if (application && woke == WAIT_OBJECT_0) {
            application.reset();
            backoff.SeenRunning();  // it ran until now
            nextStart = std::max(backoff.NextStart(), Clock::now() + kPace);
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return static_cast<int>(message.wParam);
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}
