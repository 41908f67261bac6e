#pragma once

// quarnctl's commands on the locked-down account's own shell (Windows), for
// the installer and for an administrator without the configurator. The
// account is the one "QUARN-Username" names; its hive is reached whether or
// not Windows has it loaded (AccountHive). The policies of the catalogues
// are not touched.
//
//   release-shell  Lock Down switched off, as the uninstaller does before it
//                  removes watchdog.exe: the account's shell back to
//                  explorer.exe, "CompleteLockDown" "false".
//   point-shell    while Lock Down is on, the account's shell is the
//                  watchdog.exe of "QUARN-DIR", as the installer makes it
//                  after an upgrade (which may have come into another folder).

#include <vector>

#include "tools/quarnctl/quarnctl.h"

namespace quarn {

// Exit status 0 when done, also when there is no shell to change (no such
// account, no profile, no shell of its own, Lock Down off); raises on
// failure.
int ReleaseShell(const std::vector<std::string>& args, std::ostream& out);
int PointShell(const std::vector<std::string>& args, std::ostream& out);

std::vector<PlatformCommand> ShellCommands();

}  // namespace quarn
