// TColorButton: its face drawn into a bitmap, and the button on a window.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "quarn/color_button_win32.h"
#include "system/gdi_win32.h"

namespace quarn {
namespace {

constexpr int kWidth = 90;
constexpr int kHeight = 30;

// A face drawn into a bitmap of its own, read back pixel by pixel.
class Face {
  public:
    Face(UINT state, bool isFocused, COLORREF color, const std::wstring& caption = L"lock")
        : dc_(::CreateCompatibleDC(win32::unique_window_dc(nullptr).get())),
          bitmap_(
              ::CreateCompatibleBitmap(win32::unique_window_dc(nullptr).get(), kWidth, kHeight)),
          selected_(dc_.get(), bitmap_.get()) {
        const RECT all{0, 0, kWidth, kHeight};
        ::FillRect(dc_.get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        DrawColorButtonFace(dc_.get(), all, state, isFocused, color, caption, nullptr,
                            [&](HWND, const RECT& rect, UINT) { handlerRect_ = rect; });
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    COLORREF At(int x, int y) const { return ::GetPixel(dc_.get(), x, y); }
    const RECT& HandlerRect() const { return handlerRect_; }

    // The box around the caption's pixels (the button-text colour).
    RECT TextBounds() const {
        RECT box{kWidth, kHeight, -1, -1};
        const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 6; x < kWidth - 6; ++x) {
                if (At(x, y) == text && y > 5 && y < kHeight - 5) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x);
                    box.bottom = std::max<LONG>(box.bottom, y);
                }
            }
        }
        return box;
    }

    std::vector<COLORREF> Row(int y) const {
        std::vector<COLORREF> row;
        for (int x = 0; x < kWidth; ++x) {
            row.push_back(At(x, y));
        }
        return row;
    }

  private:
    // In this order: the bitmap is deselected before it goes, and goes before its
    // device context.
    win32::unique_hdc dc_;
    win32::unique_hbitmap bitmap_;
    win32::SelectedObject selected_;
    RECT handlerRect_{};
};

TEST(TColorButtonFace, IsFilledWithItsColourInsideTheSystemFrame) {
    const Face red(0, false, kRed);
    EXPECT_EQ(red.At(kWidth / 2, 4), kRed);
    EXPECT_EQ(red.At(8, kHeight / 2), kRed);
    EXPECT_NE(red.At(0, 0), kRed);  // the push-button frame keeps the system colours
    const Face green(0, false, kGreen);
    EXPECT_EQ(green.At(8, kHeight / 2), kGreen);
    EXPECT_EQ(red.HandlerRect().left, green.HandlerRect().left);  // the handler gets the face
}

TEST(TColorButtonFace, PressedMovesFaceAndCaptionOnePixel) {
    const Face normal(0, false, kRed);
    const Face pressed(ODS_SELECTED, false, kRed);
    EXPECT_EQ(pressed.At(0, 0), ::GetSysColor(COLOR_BTNSHADOW));  // the shadow-coloured frame
    const RECT up = normal.TextBounds();
    const RECT down = pressed.TextBounds();
    ASSERT_LT(up.left, up.right);
    EXPECT_EQ(down.left - up.left, 1);
    EXPECT_EQ(down.top - up.top, 1);
    EXPECT_EQ(pressed.HandlerRect().left - normal.HandlerRect().left, 0);  // 1 in, 1 moved vs 2 in
}

TEST(TColorButtonFace, FocusFrameAndFocusRectangle) {
    const Face plain(0, false, kGreen);
    const Face focusedOnly(0, true, kGreen);       // focused or default, no keyboard focus
    const Face keyboard(ODS_FOCUS, true, kGreen);  // both
    const COLORREF frame = ::GetSysColor(COLOR_WINDOWFRAME);
    EXPECT_EQ(focusedOnly.At(0, kHeight / 2), frame);
    EXPECT_EQ(keyboard.At(0, kHeight / 2), frame);
    EXPECT_NE(plain.At(0, kHeight / 2), frame);
    // The dotted rectangle 4 pixels inside the edge, only with both.
    EXPECT_NE(keyboard.Row(4), focusedOnly.Row(4));
    EXPECT_EQ(plain.Row(kHeight / 2 + 2)[kWidth / 2 - 30],
              focusedOnly.Row(kHeight / 2 + 2)[kWidth / 2 - 30]);
}

TEST(TColorButtonFace, DisabledCaptionIsEmbossed) {
    const Face enabled(0, false, kRed);
    const Face disabled(ODS_DISABLED, false, kRed);
    const RECT none{kWidth, kHeight, -1, -1};
    EXPECT_NE(enabled.TextBounds().right, none.right);
    EXPECT_EQ(disabled.TextBounds().right, none.right);  // no text in the button-text colour
}

// A window that counts the clicks its button reports and lets it draw itself,
// as the main window does.
int* hostClicks = nullptr;
TColorButton* hostButton = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && hostClicks != nullptr) {
        ++*hostClicks;
        return 0;
    }
    if (message == WM_DRAWITEM && hostButton != nullptr) {
        hostButton->DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(TColorButton, ADoubleClickCountsAsTwoClicksAndColourRepaintsAtOnce) {
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = HostProc;
    hostClass.hInstance = ::GetModuleHandleW(nullptr);
    hostClass.lpszClassName = L"ColorButtonHost";
    ::RegisterClassW(&hostClass);
    const HWND host =
        ::CreateWindowW(L"ColorButtonHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                        200, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    int clicks = 0;
    hostClicks = &clicks;
    {
        TColorButton button;
        hostButton = &button;
        button.Create(host, 7, L"visible", 10, 10, kWidth, kHeight,
                      static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
        const LPARAM at = MAKELPARAM(5, 5);
        ::SendMessageW(button.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, at);
        ::SendMessageW(button.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(button.Handle(), WM_LBUTTONUP, 0, at);
        EXPECT_EQ(clicks, 2);

        button.SetColor(kRed);
        EXPECT_EQ(button.Color(), kRed);
        const win32::unique_window_dc dc(button.Handle());
        EXPECT_EQ(::GetPixel(dc.get(), 6, kHeight / 2), kRed);  // painted without a message loop
        hostButton = nullptr;
    }
    hostClicks = nullptr;
    ::DestroyWindow(host);
}

}  // namespace
}  // namespace quarn
