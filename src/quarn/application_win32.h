#pragma once

// The application object of the configurator: its title, the hidden owner
// window that carries the task-bar button (the main window is owned by it, so
// the button shows the application's title, not the window's caption), COM
// for the window thread, and the message loop.

#include <windows.h>

#include <optional>
#include <string>

#include "quarn/window_win32.h"
#include "system/com_win32.h"

namespace quarn {

class Application final : public Window {
  public:
    static Application& Instance();

    // COM for the window thread (single-threaded apartment), the common
    // controls, and the owner window.
    void Initialize();
    const std::wstring& Title() const { return title_; }
    void SetTitle(const std::wstring& title);
    void SetMainWindow(HWND window) { mainWindow_ = window; }

    // Lets the windows handle their pending messages; a quit request is kept
    // for the message loop.
    void ProcessMessages();
    // Whether the program is closing (a quit request has come).
    bool QuitRequested() const { return quitRequested_; }
    // Runs until the main window is gone.
    int Run();
    // Forgets an ended main window's quit request, for a host that shows
    // several main windows in turn (the tests).
    void ClearQuitRequest();

  private:
    Application() = default;
    std::optional<LRESULT> OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnActivate(WORD state) override;

    // From the first Initialize to the program's end.
    std::optional<win32::ComInitialization> com_;
    std::wstring title_ = L"QUARN";
    HWND mainWindow_ = nullptr;
    bool quitRequested_ = false;
    int exitCode_ = 0;
};

}  // namespace quarn
