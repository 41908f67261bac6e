// quarnctl export: a built-in catalogue written as the configurator saves it.

#include "catalogue/builtin_catalogues.h"
#include "system/file_io.h"
#include "tools/quarnctl/commands.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {
namespace {

int Export(const std::vector<std::string>& args, std::ostream& out) {
    const std::string problem = "export needs lock or unlock and a file name";
    const Arguments arguments = ParseArguments(args, {"--force"}, 2, problem);
    const std::string& which = arguments.operands[0];
    const std::string& name = arguments.operands[1];
    if (which != "lock" && which != "unlock") {
        throw UsageError(problem);
    }
    const std::filesystem::path file = PathFromUtf8(name);
    if (FileExists(file) && !arguments.Has("--force")) {
        throw Error(name + " exists; add --force to replace it");
    }
    PolicyTable table = which == "lock" ? BuiltInLockCatalogue() : BuiltInUnlockCatalogue();
    table.SaveToFile(file);
    out << "Wrote the built-in " << which << " catalogue (" << table.RecordCount() << " rows) to "
        << name << "\n";
    return kClean;
}

}  // namespace

const Command kExportCommand = {
    "export",
    "  quarnctl export lock|unlock FILE [--force]\n"
    "      Writes a built-in catalogue as the configurator saves it (quarn.xml).\n"
    "      An existing FILE is only replaced with --force.\n",
    Export,
};

}  // namespace quarn::quarnctl
