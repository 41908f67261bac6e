#pragma once

#include <windows.h>

#include <string>

namespace quarn::win32 {

// The system's own text for an error code, without the trailing line break;
// "error N" when the system has none.
std::wstring SystemMessage(DWORD code);
std::string SystemMessageUtf8(DWORD code);

}  // namespace quarn::win32
