#pragma once

// Error entries in the Windows application event log. Linked from
// event_log_win32.cpp (the product) or event_log_journal.cpp (the Wine test
// build, which also keeps each entry in a journal file beside the program:
// Wine's event log keeps nothing).

#include <string>

namespace quarn {

void ReportErrorEvent(const std::wstring& source, const std::wstring& text);

}  // namespace quarn
