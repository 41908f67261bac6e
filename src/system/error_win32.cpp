#include "system/error_win32.h"

#include <cstdio>

#include "system/com_win32.h"
#include "system/handle_win32.h"
#include "system/text_encoding.h"

namespace quarn::win32 {

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const unique_hlocal owner(buffer);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"error " + std::to_wstring(code);
    }
    return text;
}

std::string SystemMessageUtf8(DWORD code) {
    return Utf16ToUtf8(SystemMessage(code));
}

void CheckHresult(HRESULT result, const char* call) {
    if (FAILED(result)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
        throw Error(std::string(call) + " failed (" + code + ")");
    }
}

}  // namespace quarn::win32
