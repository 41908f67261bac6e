#include "quarn/form7_win32.h"

#include <commctrl.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "quarn/download_progress.h"
#include "system/handle_win32.h"
#include "system/sha256.h"

namespace quarn {
namespace {

enum : int { kButton1Id = 300, kButton2Id = 301 };
enum : UINT_PTR { kStallTimer = 1 };
// Posted by the progress receiver once the binding has ended.
constexpr UINT kDownloadEnded = WM_APP + 7;
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 100;

}  // namespace

// The progress receiver of the download, which is an asynchronous binding of
// the installer's address to a stream: the binding's notifications come
// through the window thread's message loop, so the window stays responsive
// whatever the server does, and "&Close" or the stall limit can abort it.
// The receiver writes what arrives into the chosen file, digesting it on
// the way. The binding holds it past the call that starts it, so it counts
// references.
//
// It also hears the HTTP reply (IHttpNegotiate): the binding reports success
// for a reply of "404 Not Found", for none at all, and for a transfer cut
// short, so the reply's status and announced length decide as well.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class cDownloadStatusCallback final : public IBindStatusCallback, public IHttpNegotiate {
  public:
    cDownloadStatusCallback(TForm7& form, std::wstring target, win32::unique_file file)
        : form_(&form), target_(std::move(target)), file_(std::move(file)) {}

    // Starts the binding; its end is reported to the window in every case.
    void Start(const std::wstring& url) {
        win32::ComPtr<IMoniker> moniker;
        win32::ComPtr<IBindCtx> context;
        win32::ComPtr<IStream> stream;
        HRESULT result = ::CreateURLMonikerEx(nullptr, url.c_str(), moniker.put(), URL_MK_UNIFORM);
        if (SUCCEEDED(result)) {
            result = ::CreateAsyncBindCtx(0, this, nullptr, context.put());
        }
        if (SUCCEEDED(result)) {
            result = moniker->BindToStorage(context.get(), nullptr, IID_IStream, stream.put_void());
        }
        if (FAILED(result) && !stopped_) {
            Stopped(result);
        }
    }

    // Ends the binding (the end is reported as any other).
    void Abort() {
        aborted_ = true;
        if (binding_) {
            binding_->Abort();
        }
    }

    // The window is going: nothing more is reported to it, the file is
    // closed and what it holds deleted.
    void Discard() {
        form_ = nullptr;
        Abort();
        file_.reset();
        ::DeleteFileW(target_.c_str());
    }

    bool HasStopped() const { return stopped_; }
    const std::wstring& Target() const { return target_; }
    // Once, after the binding has ended (the digest is spent then).
    FinishedDownload Finished() {
        FinishedDownload finished = finished_;
        finished.transferred = SUCCEEDED(stopResult_) && !aborted_ && !writeFailed_;
        finished.sha256 = digest_.FinishHex();
        return finished;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == IID_IUnknown || id == IID_IBindStatusCallback) {
            *object = static_cast<IBindStatusCallback*>(this);
        } else if (id == IID_IHttpNegotiate) {
            *object = static_cast<IHttpNegotiate*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
        binding->AddRef();
        binding_.reset(binding);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
        *priority = THREAD_PRIORITY_NORMAL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status,
                                         LPCWSTR) override {
        if (form_ != nullptr) {
            form_->OnDownloadActivity();
            form_->OnProgress(status, progress, maximum);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
        Stopped(result);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* information) override {
        // Asynchronous, pulled from a stream, never from or into the cache.
        *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION |
                 BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE;
        const ULONG size = information->cbSize;
        std::memset(information, 0, size);
        information->cbSize = size;
        information->dwBindVerb = BINDVERB_GET;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*,
                                              STGMEDIUM* medium) override {
        if (medium == nullptr || medium->tymed != TYMED_ISTREAM || medium->pstm == nullptr) {
            return S_OK;
        }
        if (form_ != nullptr) {
            form_->OnDownloadActivity();
        }
        // Everything there is now: the next notification comes only then.
        char chunk[16 * 1024];
        for (;;) {
            ULONG got = 0;
            const HRESULT read = medium->pstm->Read(chunk, sizeof chunk, &got);
            if (got > 0) {
                Save({chunk, got});
            }
            if (read != S_OK || got == 0) {
                return S_OK;
            }
        }
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                   LPWSTR* additionalHeaders) override {
        *additionalHeaders = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR,
                                         LPWSTR* additionalHeaders) override {
        finished_.httpStatus = status;
        finished_.announcedLength =
            headers != nullptr ? ContentLengthOf(headers) : std::optional<std::uint64_t>();
        if (additionalHeaders != nullptr) {
            *additionalHeaders = nullptr;
        }
        return S_OK;
    }

  private:
    ~cDownloadStatusCallback() = default;

    void Save(std::string_view bytes) {
        if (!file_ || writeFailed_) {
            return;
        }
        DWORD written = 0;
        if (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) ||
            written != bytes.size()) {
            writeFailed_ = true;  // a full disk: what is saved is not the installer
            Abort();
            return;
        }
        digest_.Update(bytes);
        finished_.savedLength += bytes.size();
        finished_.head.append(bytes.substr(0, 2 - std::min<std::size_t>(finished_.head.size(), 2)));
    }

    void Stopped(HRESULT result) {
        if (stopped_) {
            return;
        }
        stopped_ = true;
        stopResult_ = result;
        // On the disk and closed now, so that the file can be started or
        // deleted.
        if (file_ && !::FlushFileBuffers(file_.get())) {
            writeFailed_ = true;
        }
        file_.reset();
        binding_.reset();
        if (form_ != nullptr) {
            ::PostMessageW(form_->Handle(), kDownloadEnded, 0, 0);
        }
    }

    std::atomic<ULONG> references_{1};
    TForm7* form_;
    const std::wstring target_;
    win32::unique_file file_;
    win32::ComPtr<IBinding> binding_;
    Sha256 digest_;
    FinishedDownload finished_;
    bool aborted_ = false;
    bool writeFailed_ = false;
    bool stopped_ = false;
    HRESULT stopResult_ = S_OK;
};
#pragma GCC diagnostic pop

namespace {

struct UrlCacheWalkTraits : win32::NullMeansEmpty<HANDLE> {
    static void Release(Type handle) { ::FindCloseUrlCache(handle); }
};

win32::unique_hfont MakeFont(int weight) {
    const int dpi = ::GetDeviceCaps(win32::unique_window_dc(nullptr).get(), LOGPIXELSY);
    return win32::unique_hfont(::CreateFontW(-::MulDiv(8, dpi, 72), 0, 0, 0, weight, FALSE, FALSE,
                                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                             DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
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
    win32::unique_process_information process;
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                          process.put())) {
        return -1;
    }
    if (!wait) {
        return 0;
    }
    DWORD exitCode = 0;
    ::WaitForSingleObject(process.process(), INFINITE);
    ::GetExitCodeProcess(process.process(), &exitCode);
    return static_cast<int>(exitCode);
}

TForm7::TForm7(FormDialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {
    font_ = MakeFont(FW_NORMAL);
    boldFont_ = MakeFont(FW_BOLD);
    Create(L"TForm7", WS_EX_TOOLWINDOW, L" QUARN Update", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
           kClientWidth, kClientHeight, options_.mainWindow, nullptr);
    Label1 =
        MakeChild(Handle(), L"STATIC", L"please download and install ...",
                  WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, -1, 8, 8, 167, 13, boldFont_.get());
    Gauge1 = MakeChild(Handle(), PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, -1, 8, 30, 324, 27,
                       font_.get());
    ::SendMessageW(Gauge1, PBM_SETRANGE32, 0, 100);
    Button1 = MakeChild(Handle(), L"BUTTON", L"Button1", BS_PUSHBUTTON, kButton1Id, 257, 12, 75, 25,
                        font_.get());
    Button2 = MakeChild(Handle(), L"BUTTON", L"&Close", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                        kButton2Id, 132, 68, 75, 25, font_.get());
    FormCreate();
}

TForm7::~TForm7() {
    if (download_) {
        download_->Discard();
    }
    if (Handle() != nullptr) {
        ::DestroyWindow(Handle());  // before its fonts go
    }
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

void TForm7::SetInstallerSha256(std::optional<std::string> sha256) {
    installerSha256_ = std::move(sha256);
}

void TForm7::Button1Click() {
    if (download_) {
        return;  // one download at a time
    }
    const std::wstring url = options_.setupUrl ? options_.setupUrl() : std::wstring();
    PurgeUrlCache(url);
    const std::optional<std::wstring> file = dialogs_.ChooseSaveFile(SaveDialog1);
    if (!file) {
        SetLabel(L"Error");  // nothing chosen, nothing downloaded
        return;
    }
    win32::unique_file target(::CreateFileW(file->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) {
        SetLabel(L"Error");  // the file cannot be written
        return;
    }
    download_.reset(new cDownloadStatusCallback(*this, *file, std::move(target)));
    OnDownloadActivity();  // a server that never answers counts as stalled too
    download_->Start(url);
}

void TForm7::OnDownloadActivity() {
    ::SetTimer(Handle(), kStallTimer, static_cast<UINT>(options_.stallLimit.count()), nullptr);
}

void TForm7::DownloadEnded() {
    ::KillTimer(Handle(), kStallTimer);
    win32::ComPtr<cDownloadStatusCallback> download = std::move(download_);
    const FinishedDownload finished = download->Finished();
    const std::wstring file = download->Target();
    download.reset();
    if (!IsCompleteInstaller(finished, installerSha256_)) {
        // Part of an installer, an error page or nothing: never offered,
        // never left to be started by hand.
        ::DeleteFileW(file.c_str());
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
    ExecuteCommandLine(L"\"" + file + L"\"", SW_SHOWNORMAL, false);
    if (options_.endConfigurator) {
        options_.endConfigurator();
    }
}

void TForm7::Button2Click() {
    if (download_) {
        download_->Abort();  // its end shows "Error"
    }
    ::ShowWindow(Handle(), SW_HIDE);
}

bool TForm7::OnTimer(UINT_PTR id) {
    if (id != kStallTimer) {
        return false;
    }
    ::KillTimer(Handle(), kStallTimer);
    if (download_) {
        download_->Abort();  // nothing arrived for the whole stall limit
    }
    return true;
}

std::optional<LRESULT> TForm7::OnOtherMessage(UINT message, WPARAM, LPARAM) {
    if (message != kDownloadEnded) {
        return std::nullopt;
    }
    if (download_ && download_->HasStopped()) {
        DownloadEnded();
    }
    return 0;
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
