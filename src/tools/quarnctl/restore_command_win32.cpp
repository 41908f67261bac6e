#include "tools/quarnctl/restore_command_win32.h"

#include <windows.h>

#include <algorithm>

#include "system/program_path_win32.h"
#include "system/station_restore.h"
#include "system/station_restore_win32.h"
#include "tools/quarnctl/commands.h"

namespace quarn {

namespace {

// quarn-restore.reg beside this program, where the configurator keeps it.
std::filesystem::path DefaultRestorePoint() {
    return std::filesystem::path(ExecutableFolder()) / kRestorePointFileName;
}

}  // namespace

int RestoreStationCommand(const std::vector<std::string>& args, std::ostream& out) {
    if (std::find(args.begin(), args.end(), "--show") != args.end()) {
        return quarnctl::ShowRestorePoint(args, out);
    }
    quarnctl::Arguments arguments;
    for (const std::string& arg : args) {
        (arg == "--dry-run" ? arguments.flags : arguments.operands).push_back(arg);
    }
    if (arguments.operands.size() > 1) {
        throw UsageError("restore takes at most one file name");
    }
    const bool dryRun = arguments.Has("--dry-run");
    const std::filesystem::path file = arguments.operands.empty()
                                           ? DefaultRestorePoint()
                                           : quarnctl::PathFromUtf8(arguments.operands[0]);
    Win32StationRestore platform;
    const StationRestoreOutcome outcome =
        RestoreStation(file, DefaultRegistry(), platform, dryRun, LocalDateText());
    if (dryRun) {
        for (const RestoreStep& step : outcome.registry.steps) {
            out << DescribeStep(step) << "\n";
        }
    }
    out << DescribeRestore(outcome, dryRun);
    return outcome.Complete() ? quarnctl::kClean : quarnctl::kFindings;
}

std::vector<PlatformCommand> RestoreCommands() {
    return {
        {"restore",
         "  quarnctl restore [--dry-run] [FILE]\n"
         "      Brings the station back to the state the restore point recorded\n"
         "      (FILE, or quarn-restore.reg beside quarnctl.exe): every value and key\n"
         "      QUARN changed, Lock Down off, the Administrators group as it was; the\n"
         "      restore point is then kept as quarn-restore-<date>.reg. The account's\n"
         "      hive is loaded for it when it is not logged on. With --dry-run each\n"
         "      change is listed and none made. Run it as an administrator. Exit\n"
         "      status 0 when restored, 1 when something could not be put back (the\n"
         "      restore point stays), 2 on errors.\n",
         RestoreStationCommand},
    };
}

}  // namespace quarn
