#pragma once

// A small base for the configurator's windows: one static window procedure
// that finds the object behind the window and forwards each message this
// program handles to one member of its own.

#include <windows.h>

#include <optional>

namespace quarn {

class Window {
  public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }

  protected:
    Window() = default;

    // Registers the class on first use and creates the window, attached to
    // this object from its first message on.
    void Create(const wchar_t* className, DWORD exStyle, const wchar_t* title, DWORD style, int x,
                int y, int width, int height, HWND parent, HMENU menu);

    // One member per message; each answers whether it handled the message.
    virtual bool OnCreate() { return false; }
    virtual bool OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/) { return false; }
    virtual bool OnTimer(UINT_PTR /*id*/) { return false; }
    virtual bool OnActivate(WORD /*state*/) { return false; }
    virtual bool OnClose() { return false; }
    virtual bool OnDestroy() { return false; }
    virtual bool OnDrawItem(DRAWITEMSTRUCT& /*item*/) { return false; }
    virtual bool OnMeasureItem(MEASUREITEMSTRUCT& /*item*/) { return false; }
    virtual std::optional<LRESULT> OnControlColor(HDC /*dc*/, HWND /*control*/) {
        return std::nullopt;
    }
    // Messages without a member of their own.
    virtual std::optional<LRESULT> OnOtherMessage(UINT /*message*/, WPARAM /*wParam*/,
                                                  LPARAM /*lParam*/) {
        return std::nullopt;
    }

  private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace quarn
