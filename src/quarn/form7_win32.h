#pragma once

// TForm7, the update window: it downloads the new release's installer
// "setup.exe" into a file of the administrator's choice, shows the progress,
// and on request stops the watch service, starts the installer and ends the
// configurator.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "quarn/form_dialogs_win32.h"
#include "quarn/window_win32.h"
#include "system/com_win32.h"
#include "system/gdi_win32.h"

namespace quarn {

// A download that receives nothing for this long is given up.
inline constexpr std::chrono::seconds kDownloadStallLimit{30};

class cDownloadStatusCallback;

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
        // How long a download may receive nothing before it ends in "Error".
        std::chrono::milliseconds stallLimit = kDownloadStallLimit;
    };

    TForm7(FormDialogs& dialogs, Options options);
    // A download still running is aborted, and its part of the file deleted.
    ~TForm7() override;

    void FormCreate();
    void FormShow();
    // Shows the window without activating it, topmost.
    void Show();
    // The SHA-256 the next download must have (small hexadecimal digits);
    // nothing: the update-information file named none.
    void SetInstallerSha256(std::optional<std::string> sha256);
    // The download: it starts here and goes on while the window's messages
    // are handled; its end shows "Error" or asks whether to install.
    void Button1Click();
    // Closes (hides) the window; a running download is aborted.
    void Button2Click();
    // From the start of a download until its end has been handled.
    bool Downloading() const { return static_cast<bool>(download_); }
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
    friend class cDownloadStatusCallback;

    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnClose() override;
    bool OnTimer(UINT_PTR id) override;
    std::optional<LRESULT> OnControlColor(HDC dc, HWND control) override;
    std::optional<LRESULT> OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Something arrived: the stall limit counts afresh.
    void OnDownloadActivity();
    // The binding has ended: the file is checked and offered, or deleted.
    void DownloadEnded();

    FormDialogs& dialogs_;
    Options options_;
    std::optional<std::string> installerSha256_;
    win32::ComPtr<cDownloadStatusCallback> download_;
    win32::unique_hfont font_;
    win32::unique_hfont boldFont_;
};

}  // namespace quarn
