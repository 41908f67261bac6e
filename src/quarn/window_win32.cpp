#include "quarn/window_win32.h"

namespace quarn {

Window::~Window() {
    if (hwnd_ != nullptr) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

void Window::Create(const wchar_t* className, DWORD exStyle, const wchar_t* title, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menu) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!::GetClassInfoExW(instance, className, &windowClass)) {
        windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = StaticWindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = className;
        ::RegisterClassExW(&windowClass);
    }
    ::CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menu, instance,
                      this);
}

LRESULT CALLBACK Window::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    switch (message) {
        case WM_CREATE:
            handled = OnCreate();
            break;
        case WM_COMMAND:
            handled = OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_TIMER:
            handled = OnTimer(wParam);
            break;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam));
            break;  // the default still moves the focus
        case WM_CLOSE:
            handled = OnClose();
            break;
        case WM_DESTROY:
            handled = OnDestroy();
            break;
        case WM_DRAWITEM:
            if (OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam))) {
                return TRUE;
            }
            break;
        case WM_MEASUREITEM:
            if (OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) {
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (const auto brush =
                    OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
                return *brush;
            }
            break;
        default:
            if (const auto result = OnOtherMessage(message, wParam, lParam)) {
                return *result;
            }
            break;
    }
    return handled ? 0 : ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace quarn
