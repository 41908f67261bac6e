#pragma once

// quarnctl restore on Windows: the station back to the state its restore
// point recorded, as the configurator's "Restore the station" does it.
//
//   restore [--dry-run] [FILE]  FILE is quarn-restore.reg beside quarnctl.exe
//                               unless named; --dry-run prints each change
//                               and makes none.
//   restore --show FILE         the recorded targets (as everywhere).

#include <vector>

#include "tools/quarnctl/quarnctl.h"

namespace quarn {

// Exit status 0 when the station is restored (or a dry run done), 1 when
// something could not be put back (the restore point stays); raises on
// errors (no restore point, a damaged one).
int RestoreStationCommand(const std::vector<std::string>& args, std::ostream& out);

std::vector<PlatformCommand> RestoreCommands();

}  // namespace quarn
