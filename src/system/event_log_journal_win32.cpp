// The Wine test build's event log: the entry goes to the event log as in the
// product, and to event-journal.txt beside the executable, where tests read
// it; the service's ticks go to tick-journal.txt there.

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "system/event_log_win32.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

void AppendBesideProgram(const wchar_t* journal, const std::string& line) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::ofstream(std::filesystem::path(path).parent_path() / journal, std::ios::app)
        << line << "\n";
}

}  // namespace

void ReportToEventLog(EventType type, const std::wstring& source, const std::wstring& text) {
    WriteEventLogEntry(type, source, text);
    AppendBesideProgram(L"event-journal.txt", (type == EventType::Error ? "error " : "warning ") +
                                                  Utf16ToUtf8(source) + ": " + Utf16ToUtf8(text));
}

void NoteTickDone(const std::wstring& timer) {
    AppendBesideProgram(L"tick-journal.txt", Utf16ToUtf8(timer));
}

}  // namespace quarn
