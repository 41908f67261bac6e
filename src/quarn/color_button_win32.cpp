#include "quarn/color_button_win32.h"

#include <commctrl.h>

#include <cstdint>

#include "system/gdi_win32.h"

namespace quarn {

void DrawColorButtonFace(HDC dc, RECT rect, UINT state, bool isFocused, COLORREF color,
                         const std::wstring& caption, HWND control,
                         const TDrawButtonEvent& onDrawButton) {
    const RECT item = rect;
    const bool pressed = (state & ODS_SELECTED) != 0;
    const bool focus = (state & ODS_FOCUS) != 0;
    const bool disabled = (state & ODS_DISABLED) != 0;

    if (isFocused || focus) {
        const win32::SelectedObject pen(dc, ::GetStockObject(DC_PEN));
        ::SetDCPenColor(dc, ::GetSysColor(COLOR_WINDOWFRAME));
        const win32::SelectedObject brush(dc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        ::InflateRect(&rect, -1, -1);
    }
    if (pressed) {
        const win32::SelectedObject pen(dc, ::GetStockObject(DC_PEN));
        ::SetDCPenColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
        const win32::SelectedObject brush(dc, ::GetSysColorBrush(COLOR_BTNFACE));
        ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        ::InflateRect(&rect, -1, -1);
        ::OffsetRect(&rect, 1, 1);
    } else {
        ::DrawFrameControl(dc, &rect, DFC_BUTTON,
                           DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (disabled ? DFCS_INACTIVE : 0));
    }

    const win32::unique_hbrush face(::CreateSolidBrush(color));
    ::FillRect(dc, &rect, face.get());

    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    RECT text = rect;
    if (disabled) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        const int x = rect.left + (rect.right - rect.left - size.cx) / 2;
        const int y = rect.top + (rect.bottom - rect.top - size.cy) / 2;
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()),
                     static_cast<WPARAM>(caption.size()), x, y, size.cx, size.cy,
                     DST_TEXT | DSS_DISABLED);
    } else {
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    if (onDrawButton) {
        onDrawButton(control, rect, state);
    }
    if (isFocused && focus) {
        RECT focusRect = item;
        ::InflateRect(&focusRect, -4, -4);
        ::DrawFocusRect(dc, &focusRect);
    }
}

TColorButton::~TColorButton() {
    if (hwnd_ != nullptr) {
        ::RemoveWindowSubclass(hwnd_, SubclassProc, 1);
    }
}

void TColorButton::Create(HWND parent, int id, const wchar_t* caption, int x, int y, int width,
                          int height, HFONT font) {
    hwnd_ = ::CreateWindowExW(
        0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, x, y, width,
        height, parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)),
        ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SetWindowSubclass(hwnd_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void TColorButton::SetColor(COLORREF color) {
    color_ = color;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
    ::UpdateWindow(hwnd_);
}

std::wstring TColorButton::Caption() const {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TColorButton::SetCaption(const std::wstring& caption) {
    ::SetWindowTextW(hwnd_, caption.c_str());
}

void TColorButton::SetFocused(bool focused) {
    if (focused != isFocused_) {
        isFocused_ = focused;
        ::InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void TColorButton::DrawItem(const DRAWITEMSTRUCT& item) {
    const Canvas canvas(item.hDC);
    const win32::SelectedObject font(
        canvas.Handle(), reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    const win32::SelectedObject brush(canvas.Handle(), ::GetSysColorBrush(COLOR_BTNFACE));
    DrawColorButtonFace(canvas.Handle(), item.rcItem, item.itemState, isFocused_, color_, Caption(),
                        hwnd_, OnDrawButton);
}

void TColorButton::MeasureItem(MEASUREITEMSTRUCT& item) const {
    RECT rect{};
    ::GetClientRect(hwnd_, &rect);
    item.itemWidth = static_cast<UINT>(rect.right - rect.left);
    item.itemHeight = static_cast<UINT>(rect.bottom - rect.top);
}

LRESULT CALLBACK TColorButton::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR self) {
    auto* button = reinterpret_cast<TColorButton*>(self);
    switch (message) {
        case WM_LBUTTONDBLCLK:
            // Two quick clicks are two clicks.
            return ::DefSubclassProc(window, WM_LBUTTONDOWN, wParam, lParam);
        case WM_SETFOCUS:
            button->SetFocused(true);
            break;
        case WM_KILLFOCUS:
            button->SetFocused(false);
            break;
        case WM_ENABLE:
        case WM_SETFONT:
        case WM_SETTEXT: {
            const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
            ::InvalidateRect(window, nullptr, FALSE);
            return result;
        }
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace quarn
