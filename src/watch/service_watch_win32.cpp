#include "watch/service_watch_win32.h"

#include <cstdint>

#include "system/event_log_win32.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"
#include "watch/service_commands.h"

namespace quarn {
namespace {

constexpr UINT_PTR kLogTimer = 1;
constexpr UINT_PTR kRegisteredTimer = 2;
constexpr UINT kInterval = 1000;
constexpr UINT kStartLogTimer = WM_APP;
constexpr UINT kQuit = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"QUARNWatchTimers";

}  // namespace

TService_watch::TService_watch() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
    // A message-only window: the timers' home on the main thread.
    window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), this);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ServiceCreate();
}

TService_watch::~TService_watch() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

void TService_watch::ServiceCreate() {
    try {
        WriteUpdateDefaults(IniBesideExecutable());
    } catch (const std::exception& error) {
        // The service runs without the file; nothing of its own work needs it.
        ReportToEventLog(EventType::Error, kEventSource, Utf8ToUtf16(error.what()));
    }
    ::SetPriorityClass(::GetCurrentProcess(), IDLE_PRIORITY_CLASS);
}

void TService_watch::ServiceBeforeInstall(DWORD& serviceType) {
    if (!InstallsInteractive(GetWindowsVersionClass())) {
        serviceType &= ~static_cast<DWORD>(SERVICE_INTERACTIVE_PROCESS);
    }
}

void TService_watch::ServiceStart() {
    ::SetPriorityClass(::GetCurrentProcess(), IDLE_PRIORITY_CLASS);
    ::PostMessageW(window_, kStartLogTimer, 0, 0);
}

void TService_watch::LogTimerTimer() {
    RunReleaseStep(platform_);
    switch (CheckStationUser(platform_)) {
        case TimerSwitch::On:
            SetRegisteredTimer(true);
            break;
        case TimerSwitch::Off:
            SetRegisteredTimer(false);
            break;
        case TimerSwitch::Keep:
            break;
    }
}

void TService_watch::RegisteredTimerTimer() {
    KeepProgramsRunning(platform_, kept_);
}

void TService_watch::SetLogTimer(bool on) {
    if (on != logTimerOn_) {
        logTimerOn_ = on;
        on ? ::SetTimer(window_, kLogTimer, kInterval, nullptr) : ::KillTimer(window_, kLogTimer);
    }
}

void TService_watch::SetRegisteredTimer(bool on) {
    if (on != registeredTimerOn_) {
        registeredTimerOn_ = on;
        on ? ::SetTimer(window_, kRegisteredTimer, kInterval, nullptr)
           : ::KillTimer(window_, kRegisteredTimer);
    }
}

template <typename Tick>
void TService_watch::RunTick(const wchar_t* timer, Tick&& tick) {
    try {
        tick();
    } catch (const std::exception& error) {
        ReportToEventLog(EventType::Error, kEventSource, Utf8ToUtf16(error.what()));
    }
    NoteTickDone(timer);
}

int TService_watch::Run() {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

void TService_watch::Quit() {
    ::PostMessageW(window_, kQuit, 0, 0);
}

LRESULT CALLBACK TService_watch::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* service = reinterpret_cast<TService_watch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (service != nullptr) {
        switch (message) {
            case WM_TIMER:
                if (wParam == kLogTimer) {
                    service->RunTick(L"LogTimer", [&] { service->LogTimerTimer(); });
                } else if (wParam == kRegisteredTimer) {
                    service->RunTick(L"RegisteredTimer", [&] { service->RegisteredTimerTimer(); });
                }
                return 0;
            case kStartLogTimer:
                service->SetLogTimer(true);
                return 0;
            case kQuit:
                ::PostQuitMessage(0);
                return 0;
            default:
                break;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace quarn
