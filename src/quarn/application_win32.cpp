#include "quarn/application_win32.h"

#include <commctrl.h>

namespace quarn {

Application& Application::Instance() {
    static Application application;
    return application;
}

void Application::Initialize() {
    if (!com_) {
        com_.emplace(COINIT_APARTMENTTHREADED);
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    if (Handle() == nullptr) {
        // A visible window of no size: the task-bar button without a window.
        const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
        const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
        Create(L"QUARNApplication", 0, title_.c_str(),
               WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
               nullptr, nullptr);
        ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }
}

void Application::SetTitle(const std::wstring& title) {
    title_ = title;
    if (Handle() != nullptr) {
        ::SetWindowTextW(Handle(), title_.c_str());
    }
}

bool Application::OnActivate(WORD state) {
    // Activating the task-bar button activates the main window.
    if (state != WA_INACTIVE && mainWindow_ != nullptr && ::IsWindowEnabled(mainWindow_)) {
        ::SetActiveWindow(mainWindow_);
    }
    return true;
}

std::optional<LRESULT> Application::OnOtherMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE && mainWindow_ != nullptr) {
        ::ShowWindow(Handle(), SW_RESTORE);
        ::SetActiveWindow(mainWindow_);
        return 0;
    }
    return std::nullopt;
}

void Application::ProcessMessages() {
    MSG message;
    while (!quitRequested_ && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitRequested_ = true;
            exitCode_ = static_cast<int>(message.wParam);
            break;
        }
        if (mainWindow_ == nullptr || !::IsDialogMessageW(mainWindow_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

int Application::Run() {
    MSG message;
    while (!quitRequested_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (mainWindow_ == nullptr || !::IsDialogMessageW(mainWindow_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (!quitRequested_) {
        exitCode_ = static_cast<int>(message.wParam);
    }
    return exitCode_;
}

void Application::ClearQuitRequest() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    quitRequested_ = false;
    mainWindow_ = nullptr;
}

}  // namespace quarn
