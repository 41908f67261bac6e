// quarnctl export: a built-in catalogue, or the recommended lock catalogue
// for Windows 10 and 11, written as the configurator saves it.

#include "catalogue/builtin_catalogues.h"
#include "catalogue/recommended_catalogue.h"
#include "system/file_io.h"
#include "tools/quarnctl/commands.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {
namespace {

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const std::string problem = "export needs lock, unlock or windows10-11 and a file name";
    const Arguments arguments = ParseArguments(args, {"--force"}, 2, problem);
    const std::string& which = arguments.operands[0];
    const std::string& name = arguments.operands[1];
    if (which != "lock" && which != "unlock" && which != "windows10-11") {
        throw UsageError(problem);
    }
    const std::filesystem::path file = PathFromUtf8(name);
    if (FileExists(file) && !arguments.Has("--force")) {
        throw Error(name + " exists; add --force to replace it");
    }
    PolicyTable table = which == "lock"     ? BuiltInLockCatalogue()
                        : which == "unlock" ? BuiltInUnlockCatalogue()
                                            : RecommendedLockCatalogue();
    table.SaveToFile(file);
    out << (which == "windows10-11"
                ? std::string("Wrote the recommended lock catalogue for Windows 10 and 11")
                : "Wrote the built-in " + which + " catalogue")
        << " (" << table.RecordCount() << " rows) to " << name << "\n";
    return kClean;
}

}  // namespace

const Command kExportCommand = {
    "export",
    "  quarnctl export lock|unlock|windows10-11 FILE [--force]\n"
    "      Writes a built-in catalogue, or the recommended lock catalogue for\n"
    "      Windows 10 and 11, as the configurator saves it (quarn.xml). An\n"
    "      existing FILE is only replaced with --force.\n",
    Export,
};

}  // namespace quarn::quarnctl
