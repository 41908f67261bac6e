#pragma once

// quarnctl status (Windows): in a few lines what an administrator asks of a
// station first: the account and whether it is locked down, Lock Down and
// Auto Logon, the account's shell, the watch service, how many rows of
// quarn.xml are in force in the registry now and how many differ (with
// --rows, which), and whether a restore point exists.

#include <filesystem>
#include <vector>

#include "tools/quarnctl/quarnctl.h"

namespace quarn {

// Exit status 0 when every row of quarn.xml is in force, 1 otherwise; raises
// on errors (no quarn.xml, an account's hive that cannot be reached).
// quarn.xml and the restore point are looked for in folder.
int StationStatus(const std::filesystem::path& folder, const std::vector<std::string>& args,
                  std::ostream& out);

std::vector<PlatformCommand> StatusCommands();

}  // namespace quarn
