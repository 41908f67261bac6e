#pragma once

// quarnctl audit on Windows: besides a catalogue file, the live station.
//
//   audit --station [--html PAGE]  the locked-down account's hive (the one
//                                  "QUARN-Username" names, loaded from its
//                                  NTUSER.DAT when it is not) and
//                                  HKEY_LOCAL_MACHINE as they are now.

#include <vector>

#include "tools/quarnctl/quarnctl.h"

namespace quarn {

int AuditCommand(const std::vector<std::string>& args, std::ostream& out);

std::vector<PlatformCommand> AuditCommands();

}  // namespace quarn
