#pragma once

#include <string>

namespace quarn {

// Starts a program as the user at the physical console, in that user's
// session and environment, with a console of its own. Starts nothing while
// "dummy.exe" or "quarn.exe" runs anywhere. True only when the process was
// created; its handles are closed at once.
bool LaunchInUserSession(const std::wstring& application, const std::wstring& commandLine,
                         const std::wstring& workingDirectory);

}  // namespace quarn
