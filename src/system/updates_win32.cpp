#include <windows.h>
// After windows.h, which it needs.
#include <winhttp.h>

#include "error.h"
#include "release.h"
#include "update_ini.h"
#include "updates_win32.h"
#include "win32_error.h"
#include "win32_handle.h"

namespace quarn {
namespace {

struct InternetTraits : win32::NullMeansEmpty<HINTERNET> {
    static void Release(Type handle) { ::WinHttpCloseHandle(handle); }
};
using unique_hinternet = win32::UniqueHandle<InternetTraits>;

constexpr std::size_t kLongestBody = 64 * 1024;

}  // namespace

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const std::size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : folder.substr(0, slash);
}

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

std::optional<std::string> HttpGet(const std::wstring& url, std::chrono::seconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
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

    const unique_hinternet session(::WinHttpOpen(L"QUARN/2539162", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                                 0));
    if (!session) {
        return std::nullopt;
    }
    // Each phase has its own limit; together they stay within the budget.
    const int phase = static_cast<int>(std::chrono::milliseconds(budget).count() / 4);
    ::WinHttpSetTimeouts(session.get(), phase, phase, phase, phase);
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
    // The wait for the reply's head has a limit of its own (90 s by default).
    DWORD headLimit = static_cast<DWORD>(phase);
    ::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headLimit,
                       sizeof headLimit);
    if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.get(), nullptr)) {
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
    std::string body;
    for (;;) {
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        char chunk[4096];
        DWORD got = 0;
        if (!::WinHttpReadData(request.get(), chunk, sizeof chunk, &got)) {
            return std::nullopt;
        }
        if (got == 0) {
            return body;
        }
        body.append(chunk, got);
        if (body.size() > kLongestBody) {
            return std::nullopt;
        }
    }
}

std::wstring FetchRemoteRelease(const std::wstring& iniPath) {
    const std::optional<std::string> body =
        HttpGet(ReadUpdateSetting(iniPath, L"QUARNUpdateURL", L""), std::chrono::seconds(15));
    return body ? ReleaseTextFromBody(*body) : std::wstring();
}

}  // namespace quarn
