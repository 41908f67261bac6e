#pragma once

// Windows only: who runs the test, and on what.

#include <string>

namespace quarn::test {

// The string SID and the name of the user running the test.
std::wstring CurrentUserSid();
std::wstring CurrentUserName();
// Whether the process runs under Wine.
bool RunningUnderWine();

}  // namespace quarn::test
