#pragma once

// The running processes as one fresh snapshot shows them (Windows only).

#include <cstdint>
#include <string>
#include <vector>

namespace quarn {

struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t parentProcessId = 0;
    // The executable's file name as the snapshot gives it (no folder).
    std::wstring exeFile;
};

// Empty when no snapshot could be taken.
std::vector<ProcessEntry> ListProcesses();

}  // namespace quarn
