#pragma once

// quarnctl release-shell (Windows): Lock Down switched off from outside the
// configurator, as the uninstaller does before it removes watchdog.exe. The
// locked-down account ("QUARN-Username") gets explorer.exe back as its own
// shell, in its hive whether or not Windows has it loaded, and
// "CompleteLockDown" becomes "false". The policies of the lock catalogue stay
// as they are.

#include "quarnctl.h"

namespace quarn {

// 0 when the account's shell is released (or it has none to release: no
// such account, no profile, no shell of its own); raises on failure.
int ReleaseShell(const std::vector<std::string>& args, std::ostream& out);

PlatformCommand ReleaseShellCommand();

}  // namespace quarn
