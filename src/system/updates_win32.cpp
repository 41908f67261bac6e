#include <windows.h>
// After windows.h, which it needs.
#include <winhttp.h>

#include <algorithm>
#include <atomic>

#include "system/com_win32.h"
#include "system/error.h"
#include "system/error_win32.h"
#include "system/handle_win32.h"
#include "system/release.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

namespace quarn {
namespace {

struct InternetTraits : win32::NullMeansEmpty<HINTERNET> {
    static void Release(Type handle) { ::WinHttpCloseHandle(handle); }
};
using unique_hinternet = win32::UniqueHandle<InternetTraits>;

constexpr std::size_t kLongestBody = 64 * 1024;

// What WinHTTP's threads report of one request to the thread that waits for
// it. The caller and the request handle each hold a reference: after a
// caller has given up at its deadline, WinHTTP may still complete a read
// into the buffer, and it reports the handle's closing last.
struct Exchange {
    std::atomic<int> references{1};
    const win32::unique_handle completed{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::atomic<DWORD> completion{0};  // the status of the last completion
    std::atomic<DWORD> bytes{0};       // available, or read
    char buffer[4096] = {};

    void AddReference() { ++references; }
    void Release() {
        if (--references == 0) {
            delete this;
        }
    }
};

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                              DWORD length) {
    auto* const exchange = reinterpret_cast<Exchange*>(context);
    if (exchange == nullptr) {
        return;
    }
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            exchange->Release();
            return;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            exchange->bytes = *static_cast<const DWORD*>(information);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            exchange->bytes = length;
            break;
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            break;
        default:
            return;
    }
    exchange->completion = status;
    ::SetEvent(exchange->completed.get());
}

// Waits for the request's next completion, at most until the deadline;
// true when it is the one expected (and not an error).
bool AwaitCompletion(const Exchange& exchange, DWORD expected,
                     std::chrono::steady_clock::time_point deadline, const HttpWait& wait) {
    const HANDLE event = exchange.completed.get();
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        const auto milliseconds = static_cast<DWORD>(left.count());
        const DWORD woke = wait.handleMessages
                               ? ::MsgWaitForMultipleObjectsEx(1, &event, milliseconds, QS_ALLINPUT,
                                                               MWMO_INPUTAVAILABLE)
                               : ::WaitForSingleObject(event, milliseconds);
        if (woke == WAIT_OBJECT_0) {
            return exchange.completion == expected;
        }
        if (woke != WAIT_OBJECT_0 + 1 || !wait.handleMessages || !wait.handleMessages()) {
            return false;
        }
    }
}

}  // namespace

std::wstring IniBesideExecutable() {
    return ExecutableFolder() + L"\\" + kIniFileName;
}

std::wstring ReadUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                               const std::wstring& fallback) {
    std::wstring value(2048, L'\0');
    const DWORD length =
        ::GetPrivateProfileStringW(kUpdateSection, key.c_str(), fallback.c_str(), value.data(),
                                   static_cast<DWORD>(value.size()), iniPath.c_str());
    value.resize(length);
    return value;
}

void WriteUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                        const std::wstring& value) {
    if (!::WritePrivateProfileStringW(kUpdateSection, key.c_str(), value.c_str(),
                                      iniPath.c_str())) {
        throw Error("WritePrivateProfileStringW(quarn.ini) failed: " +
                    win32::SystemMessageUtf8(::GetLastError()));
    }
}

std::optional<std::string> HttpGet(const std::wstring& url, const HttpWait& wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !::WinHttpCrackUrl(url.c_str(), 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        return std::nullopt;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    // Asynchronous, so that the wait below, not WinHTTP, decides when the
    // exchange ends: WinHTTP's own limits hold per phase and per read, and a
    // server that sends a byte now and then never reaches them.
    const unique_hinternet session(::WinHttpOpen(L"QUARN/2539162", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                                 WINHTTP_FLAG_ASYNC));
    if (!session) {
        return std::nullopt;
    }
    const int limit = static_cast<int>(wait.limit.count());
    ::WinHttpSetTimeouts(session.get(), limit, limit, limit, limit);
    const unique_hinternet connection(
        ::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) {
        return std::nullopt;
    }
    const unique_hinternet request(
        ::WinHttpOpenRequest(connection.get(), L"GET", path.empty() ? L"/" : path.c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        return std::nullopt;
    }
    win32::ComPtr<Exchange> exchange;
    exchange.reset(new Exchange);
    if (::WinHttpSetStatusCallback(
            request.get(), OnRequestStatus,
            WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
            0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        return std::nullopt;
    }
    auto context = reinterpret_cast<DWORD_PTR>(exchange.get());
    if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context,
                            sizeof context)) {
        return std::nullopt;
    }
    exchange->AddReference();  // the request handle's, given back when it closes
    const auto completed = [&](DWORD expected) {
        return AwaitCompletion(*exchange.get(), expected, deadline, wait);
    };

    if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, context) ||
        !completed(WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE) ||
        !::WinHttpReceiveResponse(request.get(), nullptr) ||
        !completed(WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE)) {
        return std::nullopt;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX) ||
        status < 200 || status > 299) {
        return std::nullopt;
    }
    // A connection closed before the announced length is a failure: the
    // digits of a part are not the release.
    DWORD announced = 0;
    size = sizeof announced;
    const bool lengthAnnounced = ::WinHttpQueryHeaders(
        request.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
        WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX);
    std::string body;
    for (;;) {
        if (!::WinHttpQueryDataAvailable(request.get(), nullptr) ||
            !completed(WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE)) {
            return std::nullopt;
        }
        const DWORD available = std::min<DWORD>(exchange->bytes, sizeof exchange->buffer);
        if (available > 0) {
            if (!::WinHttpReadData(request.get(), exchange->buffer, available, nullptr) ||
                !completed(WINHTTP_CALLBACK_STATUS_READ_COMPLETE)) {
                return std::nullopt;
            }
            body.append(exchange->buffer, exchange->bytes);
        }
        if (available == 0 || exchange->bytes == 0) {
            if (lengthAnnounced && body.size() != announced) {
                return std::nullopt;
            }
            return body;
        }
        if (body.size() > kLongestBody) {
            return std::nullopt;
        }
    }
}

UpdateInformation FetchUpdateInformation(const std::wstring& iniPath, const HttpWait& wait) {
    const std::optional<std::string> body =
        HttpGet(ReadUpdateSetting(iniPath, L"QUARNUpdateURL", L""), wait);
    return body ? ParseUpdateInformation(*body) : UpdateInformation{};
}

std::wstring FetchRemoteRelease(const std::wstring& iniPath) {
    return FetchUpdateInformation(iniPath, HttpWait{}).release;
}

}  // namespace quarn
