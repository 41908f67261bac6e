#include "form7.h"

#include <commctrl.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "application.h"
#include "download_progress.h"
#include "settings.h"
#include "win32_handle.h"

namespace quarn {
namespace {

enum : int { kButton1Id = 300, kButton2Id = 301 };
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 100;

// The progress receiver of URLDownloadToFileW. The window owns it for the
// one download, so it counts no references. Nothing deletes it through the
// interfaces, whose destructors are not virtual.
//
// It also hears how the download ended: the download function may report
// success for a reply of "404 Not Found" (the error page is saved as the
// installer) or for a file it could not write, so Button1Click looks at the
// reply's status and the binding's end as well.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class cDownloadStatusCallback final : public IBindStatusCallback, public IHttpNegotiate {
  public:
    explicit cDownloadStatusCallback(TForm7& form) : form_(form) {}

    // The HTTP status of the reply; 0 when there was none.
    DWORD HttpStatus() const { return httpStatus_; }
    HRESULT StopResult() const { return stopResult_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == IID_IUnknown || id == IID_IBindStatusCallback) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        if (id == IID_IHttpNegotiate) {
            *object = static_cast<IHttpNegotiate*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status,
                                         LPCWSTR) override {
        form_.OnProgress(status, progress, maximum);
        Application::Instance().ProcessMessages();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
        stopResult_ = result;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                   LPWSTR* additionalHeaders) override {
        *additionalHeaders = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR, LPCWSTR,
                                         LPWSTR* additionalHeaders) override {
        httpStatus_ = status;
        if (additionalHeaders != nullptr) {
            *additionalHeaders = nullptr;
        }
        return S_OK;
    }

  private:
    TForm7& form_;
    DWORD httpStatus_ = 0;
    HRESULT stopResult_ = S_OK;
};
#pragma GCC diagnostic pop

struct UrlCacheWalkTraits : win32::NullMeansEmpty<HANDLE> {
    static void Release(Type handle) { ::FindCloseUrlCache(handle); }
};

HFONT MakeFont(int weight) {
    const HDC screen = ::GetDC(nullptr);
    const int height = -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    return ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

HWND MakeChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int id,
               int x, int y, int width, int height, HFONT font) {
    const HWND child =
        ::CreateWindowExW(0, className, text, WS_CHILD | style, x, y, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)),
                          ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

}  // namespace

int ExecuteCommandLine(const std::wstring& commandLine, int show, bool wait) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = static_cast<WORD>(show);
    std::wstring command = commandLine;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                          &process)) {
        return -1;
    }
    const win32::unique_handle processHandle(process.hProcess);
    const win32::unique_handle threadHandle(process.hThread);
    if (!wait) {
        return 0;
    }
    DWORD exitCode = 0;
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    return static_cast<int>(exitCode);
}

TForm7::TForm7(FormDialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {
    font_ = MakeFont(FW_NORMAL);
    boldFont_ = MakeFont(FW_BOLD);
    Create(L"TForm7", WS_EX_TOOLWINDOW, L" QUARN Update", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
           kClientWidth, kClientHeight, options_.mainWindow, nullptr);
    Label1 = MakeChild(Handle(), L"STATIC", L"please download and install ...",
                       WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, -1, 8, 8, 167, 13, boldFont_);
    Gauge1 = MakeChild(Handle(), PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, -1, 8, 30, 324, 27,
                       font_);
    ::SendMessageW(Gauge1, PBM_SETRANGE32, 0, 100);
    Button1 = MakeChild(Handle(), L"BUTTON", L"Button1", BS_PUSHBUTTON, kButton1Id, 257, 12, 75, 25,
                        font_);
    Button2 = MakeChild(Handle(), L"BUTTON", L"&Close", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                        kButton2Id, 132, 68, 75, 25, font_);
    FormCreate();
}

void TForm7::FormCreate() {
    // A tool window whose client area is exactly 340 x 100, centred on the
    // configurator's main window.
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(Handle(), GWL_STYLE)),
                         FALSE, WS_EX_TOOLWINDOW);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT main{};
    if (options_.mainWindow == nullptr || !::GetWindowRect(options_.mainWindow, &main)) {
        main = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    ::SetWindowPos(Handle(), nullptr, (main.left + main.right - width) / 2,
                   (main.top + main.bottom - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm7::FormShow() {
    SetLabel(L"please download and install ...");
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm7::Show() {
    FormShow();
    ::ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TForm7::SetLabel(const std::wstring& text) {
    ::SetWindowTextW(Label1, text.c_str());
    ::UpdateWindow(Label1);
}

void TForm7::SetGauge(int value) {
    ::SendMessageW(Gauge1, PBM_SETPOS, static_cast<WPARAM>(ClampGauge(value)), 0);
}

void TForm7::OnProgress(std::uint32_t statusCode, std::uint64_t progress, std::uint64_t maximum) {
    const ProgressDisplay display = DisplayForProgress(statusCode, progress, maximum);
    if (display.gaugeFirst && display.gauge) {
        SetGauge(*display.gauge);
    }
    if (display.label) {
        SetLabel(*display.label);
    }
    if (!display.gaugeFirst && display.gauge) {
        SetGauge(*display.gauge);
    }
    if (options_.onProgress && (display.label || display.gauge)) {
        wchar_t shown[128] = {};
        ::GetWindowTextW(Label1, shown, 128);
        options_.onProgress(statusCode, shown,
                            static_cast<int>(::SendMessageW(Gauge1, PBM_GETPOS, 0, 0)));
    }
}

void TForm7::PurgeUrlCache(const std::wstring& url) {
    // Only the installer's own entries: a stale copy could otherwise stand in
    // for the download, and the administrator's other cached pages are theirs.
    std::vector<std::uint8_t> record;
    // Reads one record, first asking for the size it needs.
    const auto read = [&record](const auto& readInto) {
        DWORD size = 0;
        if (readInto(nullptr, &size) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
        record.assign(std::max<std::size_t>(size, sizeof(INTERNET_CACHE_ENTRY_INFOW)), 0);
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(record.data());
        entry->dwStructSize = size;
        return readInto(entry, &size);
    };
    win32::UniqueHandle<UrlCacheWalkTraits> walk;
    const bool first = read([&walk](INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
        walk.reset(::FindFirstUrlCacheEntryW(nullptr, entry, size));
        return static_cast<bool>(walk);
    });
    std::vector<std::wstring> matches;
    for (bool more = first; more;
         more = read([&walk](INTERNET_CACHE_ENTRY_INFOW*entry, DWORD*size) {
             return ::FindNextUrlCacheEntryW(walk.get(), entry, size) != FALSE;
         })) {
        const wchar_t* source =
            reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOW*>(record.data())->lpszSourceUrlName;
        if (source != nullptr && ::lstrcmpiW(source, url.c_str()) == 0) {
            matches.emplace_back(source);
        }
    }
    walk.reset();
    // Deleted after the walk, which a deletion in its middle could upset.
    for (const std::wstring& source : matches) {
        ::DeleteUrlCacheEntryW(source.c_str());
    }
}

void TForm7::Button1Click() {
    const std::wstring url = options_.setupUrl ? options_.setupUrl() : std::wstring();
    PurgeUrlCache(url);
    const std::optional<std::wstring> file = dialogs_.ChooseSaveFile(SaveDialog1);
    if (!file) {
        SetLabel(L"Error");  // nothing chosen, nothing downloaded
        return;
    }
    bool downloaded = false;
    {
        cDownloadStatusCallback progress(*this);
        const HRESULT result =
            ::URLDownloadToFileW(nullptr, url.c_str(), file->c_str(), 0, &progress);
        const DWORD status = progress.HttpStatus();
        const bool errorReply = status != 0 && (status < 200 || status > 299);
        if (errorReply) {
            ::DeleteFileW(file->c_str());  // the server's error page, not an installer
        }
        downloaded = result == S_OK && SUCCEEDED(progress.StopResult()) && !errorReply &&
                     ::GetFileAttributesW(file->c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    if (!downloaded) {
        SetLabel(L"Error");
        return;
    }
    if (!dialogs_.AskYesNo(L"Install QUARN Update ?", L"Install")) {
        return;
    }
    // net.exe of the system folder, by its full path: this process runs
    // elevated, and a bare "net" would be looked for in the current folder
    // first.
    char system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(system, MAX_PATH);
    const std::string net = "\"" + std::string(system, length) + "\\net.exe\" stop watch";
    ::WinExec(net.c_str(), SW_SHOWNORMAL);
    // Quoted: the chosen folder may hold blanks.
    ExecuteCommandLine(L"\"" + *file + L"\"", SW_SHOWNORMAL, false);
    if (options_.endConfigurator) {
        options_.endConfigurator();
    }
}

void TForm7::Button2Click() {
    ::ShowWindow(Handle(), SW_HIDE);
}

bool TForm7::OnCommand(WORD id, WORD, HWND) {
    if (id == kButton1Id) {
        Button1Click();
        return true;
    }
    if (id == kButton2Id || id == IDCANCEL) {
        Button2Click();
        return true;
    }
    return false;
}

bool TForm7::OnClose() {
    Button2Click();  // closing hides; the window lives as long as the configurator
    return true;
}

std::optional<LRESULT> TForm7::OnControlColor(HDC dc, HWND) {
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace quarn
