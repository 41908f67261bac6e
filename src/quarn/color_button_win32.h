#pragma once

// TColorButton: a push button that paints itself, so that its face can take
// any colour. The main window's toggle buttons show their state by colour:
// green (65280) for on or locked, red (255) for off or unlocked.

#include <windows.h>

#include <functional>
#include <string>

namespace quarn {

inline constexpr COLORREF kGreen = 65280;  // 0x00FF00
inline constexpr COLORREF kRed = 255;      // 0x0000FF

using TDrawButtonEvent = std::function<void(HWND control, const RECT& rect, UINT state)>;

// Paints a button face into the item rectangle: the focus frame, the pressed
// look or the push-button frame, the colour, the caption (embossed when
// disabled), the handler's drawing, and the focus rectangle.
void DrawColorButtonFace(HDC dc, RECT rect, UINT state, bool isFocused, COLORREF color,
                         const std::wstring& caption, HWND control,
                         const TDrawButtonEvent& onDrawButton);

class TColorButton {
  public:
    TColorButton() = default;
    TColorButton(const TColorButton&) = delete;
    TColorButton& operator=(const TColorButton&) = delete;
    ~TColorButton();

    // Creates the owner-drawn button as a child of parent.
    void Create(HWND parent, int id, const wchar_t* caption, int x, int y, int width, int height,
                HFONT font);
    HWND Handle() const { return hwnd_; }

    COLORREF Color() const { return color_; }
    // Repaints the face at once.
    void SetColor(COLORREF color);
    std::wstring Caption() const;
    void SetCaption(const std::wstring& caption);
    bool IsFocused() const { return isFocused_; }
    TDrawButtonEvent OnDrawButton;

    // The parent forwards WM_DRAWITEM and WM_MEASUREITEM of this button here.
    void DrawItem(const DRAWITEMSTRUCT& item);
    void MeasureItem(MEASUREITEMSTRUCT& item) const;

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    void SetFocused(bool focused);

    // The drawing surface of one paint request: the platform's device context,
    // its state saved before and restored after.
    class Canvas {
      public:
        explicit Canvas(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
        Canvas(const Canvas&) = delete;
        Canvas& operator=(const Canvas&) = delete;
        ~Canvas() { ::RestoreDC(dc_, saved_); }
        HDC Handle() const { return dc_; }

      private:
        HDC dc_;
        int saved_;
    };

    HWND hwnd_ = nullptr;
    COLORREF color_ = ::GetSysColor(COLOR_BTNFACE);
    bool isFocused_ = false;
};

}  // namespace quarn
