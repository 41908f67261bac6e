// The Wine test build's event log: the entry goes to the event log as in the
// product, and to event-journal.txt beside the executable, where tests read it.

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "event_log.h"
#include "text_encoding.h"

namespace quarn {

void ReportErrorEvent(const std::wstring& source, const std::wstring& text) {
    const HANDLE log = ::RegisterEventSourceW(nullptr, source.c_str());
    if (log != nullptr) {
        const wchar_t* strings[] = {text.c_str()};
        ::ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
        ::DeregisterEventSource(log);
    }
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::ofstream(std::filesystem::path(path).parent_path() / L"event-journal.txt", std::ios::app)
        << "error " << Utf16ToUtf8(source) << ": " << Utf16ToUtf8(text) << "\n";
}

}  // namespace quarn
