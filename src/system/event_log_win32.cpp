// The product's event log: the entry, and no journal.

#include "system/event_log_win32.h"

namespace quarn {

void ReportToEventLog(EventType type, const std::wstring& source, const std::wstring& text) {
    WriteEventLogEntry(type, source, text);
}

void NoteTickDone(const std::wstring&) {}

}  // namespace quarn
