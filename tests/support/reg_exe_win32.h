#pragma once

// The system's own reg.exe, which reads and writes the registry file form
// independently of us.

#include <windows.h>

#include <string>

namespace quarn::test {

// Runs reg.exe with the arguments and returns its exit code. A reg.exe that
// does not start or does not end within a generous limit fails the test; one
// that does not end is ended and waited for.
DWORD RunReg(const std::wstring& arguments);

}  // namespace quarn::test
