// quarnctl restore --show: what a restore point recorded, as a table. The
// restore itself changes the registry and is a Windows command
// (restore_commands_win32.cpp), which hands --show to this one.

#include "system/restore_point.h"
#include "system/station_restore.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {
namespace {

int Restore(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const Arguments arguments =
        ParseArguments(args, {"--show"}, 1, "restore --show needs one file name");
    if (!arguments.Has("--show")) {
        throw UsageError(
            "restore changes the registry and runs on Windows; here only restore --show FILE");
    }
    return ShowRestorePoint(args, out);
}

// The hive column: HKEY_LOCAL_MACHINE, or HKEY_USERS and the hive's name.
std::pair<std::string, std::string> HiveAndKey(const RecordedTarget& target) {
    if (target.root == RegistryRoot::LocalMachine) {
        return {"HKEY_LOCAL_MACHINE", Utf16ToUtf8(target.keyPath)};
    }
    const auto [hive, rest] = SplitHiveName(target.keyPath);
    return {"HKEY_USERS\\" + Utf16ToUtf8(hive), Utf16ToUtf8(rest.empty() ? rest : rest.substr(1))};
}

}  // namespace

int ShowRestorePoint(const std::vector<std::string>& args, std::ostream& out) {
    const Arguments arguments =
        ParseArguments(args, {"--show"}, 1, "restore --show needs one file name");
    const std::string& name = arguments.operands[0];
    const std::optional<RestorePoint> point = LoadRestorePoint(PathFromUtf8(name));
    if (!point) {
        throw Error(name + ": there is no such restore point");
    }
    std::vector<std::vector<std::string>> lines;
    for (const RecordedTarget& target : point->Targets()) {
        auto [hive, key] = HiveAndKey(target);
        std::string value;
        if (target.kind == RecordedKind::Value) {
            value = target.valueName.empty() ? "(Default)" : Utf16ToUtf8(target.valueName);
        }
        lines.push_back(
            {std::move(hive), std::move(key), std::move(value), RecordedStateText(target)});
    }
    PrintTable(out, {"HIVE", "KEY", "VALUE", "RECORDED STATE"}, lines);
    out << lines.size() << (lines.size() == 1 ? " target" : " targets") << " recorded\n";
    if (const auto& administrators = point->Administrators()) {
        out << Utf16ToUtf8(administrators->member)
            << (administrators->wasMember ? " was" : " was not")
            << " a member of the Administrators group\n";
    }
    return kClean;
}

const Command kRestoreCommand = {
    "restore",
    "  quarnctl restore --show FILE\n"
    "      Lists what a restore point (quarn-restore.reg) recorded: each key and\n"
    "      value QUARN changed, with its state before the first change.\n",
    Restore,
};

}  // namespace quarn::quarnctl
