#pragma once

#include <string>

#include "watch/watch_ticks.h"

namespace quarn {

// Starts a program as the user at the physical console, in that user's
// session and environment, with a console of its own. Starts nothing while
// "dummy.exe" or "quarn.exe" runs anywhere (held back). Its handles are
// closed at once.
LaunchResult LaunchInUserSession(const std::wstring& application, const std::wstring& commandLine,
                                 const std::wstring& workingDirectory);

// The full path of a bare file name in the folders of the system's search
// path (the service's PATH), with SearchPathW; empty when it is in none.
std::wstring FindOnSystemPath(const std::wstring& fileName);

}  // namespace quarn
