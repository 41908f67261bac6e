#pragma once

// TForm7, the update window: it downloads the new release's installer
// "setup.exe" into a file of the administrator's choice, shows the progress,
// and on request stops the watch service, starts the installer and ends the
// configurator.

#include <windows.h>

#include <functional>
#include <string>

#include "form_dialogs.h"
#include "window.h"

namespace quarn {

// Starts a command line with the given show state; with wait, returns the
// program's exit code, otherwise 0; -1 when it could not be started.
int ExecuteCommandLine(const std::wstring& commandLine, int show, bool wait);

class TForm7 final : public Window {
  public:
    struct Options {
        HWND mainWindow = nullptr;  // the window it is centred on and owned by
        // Where the installer is fetched from (the update-information file's
        // folder on the maker's web server).
        std::function<std::wstring()> setupUrl;
        // Ends the configurator once the installer is started.
        std::function<void()> endConfigurator;
        // Each progress notification as shown (label, gauge); for watching.
        std::function<void(std::uint32_t status, const std::wstring& label, int gauge)> onProgress;
    };

    TForm7(FormDialogs& dialogs, Options options);

    void FormCreate();
    void FormShow();
    // Shows the window without activating it, topmost.
    void Show();
    // The download.
    void Button1Click();
    // Closes (hides) the window.
    void Button2Click();
    // Deletes the installer's entries from the URL cache.
    void PurgeUrlCache(const std::wstring& url);

    // One progress notification of the download.
    void OnProgress(std::uint32_t statusCode, std::uint64_t progress, std::uint64_t maximum);

    void SetLabel(const std::wstring& text);
    void SetGauge(int value);

    HWND Label1 = nullptr;
    HWND Gauge1 = nullptr;
    HWND Button1 = nullptr;
    HWND Button2 = nullptr;
    FileDialogRequest SaveDialog1{L"setup.exe", L"exe", L"setup.exe", L"*.exe"};

  private:
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnClose() override;
    std::optional<LRESULT> OnControlColor(HDC dc, HWND control) override;

    FormDialogs& dialogs_;
    Options options_;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
};

}  // namespace quarn
