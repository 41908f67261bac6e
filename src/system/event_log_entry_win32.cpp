#include <windows.h>

#include "event_log.h"

namespace quarn {

void WriteEventLogEntry(EventType type, const std::wstring& source, const std::wstring& text) {
    const HANDLE log = ::RegisterEventSourceW(nullptr, source.c_str());
    if (log == nullptr) {
        return;
    }
    const wchar_t* strings[] = {text.c_str()};
    ::ReportEventW(log, type == EventType::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE, 0,
                   0, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(log);
}

}  // namespace quarn
