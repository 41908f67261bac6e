#pragma once

// Entries in the Windows application event log. Linked from
// event_log_win32.cpp (the product) or event_log_journal.cpp (the Wine test
// build, which also keeps each entry in event-journal.txt beside the program:
// Wine's event log keeps nothing).

#include <string>

namespace quarn {

enum class EventType { Warning, Error };

void ReportToEventLog(EventType type, const std::wstring& source, const std::wstring& text);

// The entry in the event log alone, as both builds write it.
void WriteEventLogEntry(EventType type, const std::wstring& source, const std::wstring& text);

// A timer tick of the watch service has ended. The product keeps nothing; the
// Wine test build adds the timer's name as a line to tick-journal.txt beside
// the program, so that a test knows when the service has seen a change.
void NoteTickDone(const std::wstring& timer);

}  // namespace quarn
