#include "tools/quarnctl/quarnctl.h"

#include <array>

#include "system/release.h"
#include "tools/quarnctl/commands.h"

namespace quarn {
namespace {

using quarnctl::Command;

// The commands in the order of the usage text.
constexpr std::array<const Command*, 9> kCommands = {
    &quarnctl::kExportCommand,    &quarnctl::kShowCommand,      &quarnctl::kCheckCommand,
    &quarnctl::kDiffCommand,      &quarnctl::kRestoreCommand,   &quarnctl::kAuditCommand,
    &quarnctl::kExportGpoCommand, &quarnctl::kExportRegCommand, &quarnctl::kImportPolCommand};

constexpr char kUsageEnd[] =
    "  quarnctl --help | --version\n"
    "\n"
    "Input files are only read; only a restore renames the restore point it used.\n";

std::string UsageText(const std::vector<PlatformCommand>& platformCommands) {
    std::string usage = "Usage:\n";
    for (const Command* command : kCommands) {
        usage += command->usage;
    }
    for (const PlatformCommand& platform : platformCommands) {
        usage += platform.usage;
    }
    return usage + kUsageEnd;
}

}  // namespace

int RunQuarnctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const std::vector<PlatformCommand>& platformCommands) {
    const std::string usage = UsageText(platformCommands);
    if (args.empty()) {
        err << usage;
        return quarnctl::kFailure;
    }
    const std::string& name = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    try {
        if (name == "--help" || name == "-h" || name == "help") {
            out << usage;
            return quarnctl::kClean;
        }
        if (name == "--version") {
            out << "quarnctl " << BuiltInRelease << "\n";
            return quarnctl::kClean;
        }
        // A platform's command of the same name does more than the portable
        // one (restore), so it is looked for first.
        for (const PlatformCommand& platform : platformCommands) {
            if (name == platform.name) {
                return platform.run(rest, out);
            }
        }
        for (const Command* command : kCommands) {
            if (name == command->name) {
                return command->run(rest, out, err);
            }
        }
        throw UsageError("unknown command " + name);
    } catch (const UsageError& error) {
        err << "quarnctl: " << error.what() << "\n\n" << usage;
    } catch (const std::exception& error) {
        err << "quarnctl: " << error.what() << "\n";
    }
    return quarnctl::kFailure;
}

}  // namespace quarn
