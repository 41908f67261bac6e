#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "system/handle_win32.h"
#include "system/process_list_win32.h"

namespace quarn {

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> processes;
    const win32::unique_toolhelp_snapshot snapshot(
        ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return processes;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    }
    return processes;
}

}  // namespace quarn
