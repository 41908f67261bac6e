#pragma once

// quarnctl: the administrator's command-line tool for catalogue files.
//
//   quarnctl export lock|unlock FILE [--force]   a built-in catalogue as quarn.xml has it
//   quarnctl show FILE                           the rows in walk order as a table
//   quarnctl check FILE [--all]                  rows that cannot be applied as meant
//   quarnctl diff A B                            rows added, removed and changed
//
// Arguments and output are UTF-8; the platform's main converts them.

#include <ostream>
#include <string>
#include <vector>

namespace quarn {

// Exit statuses: 0 done (clean, no differences), 1 findings or differences,
// 2 a usage error or a file that cannot be read.
int RunQuarnctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quarn
