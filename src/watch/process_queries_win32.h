#pragma once

// The process queries on Windows: each takes a fresh snapshot.

#include <windows.h>

#include <string>

#include "system/handle_win32.h"

namespace quarn {

bool IsProgramRunning(std::wstring_view name);
DWORD FindProcessIdByName(std::wstring_view text);
// The machine shell's process opened with all access rights; empty when the
// shell setting is empty, no such process runs, or it cannot be opened.
win32::unique_handle OpenShellProcess();
// The token of the first process of that name; empty when there is none or
// it cannot be opened. No later process of the name is tried.
win32::unique_handle OpenProcessTokenByName(std::wstring_view name);

}  // namespace quarn
