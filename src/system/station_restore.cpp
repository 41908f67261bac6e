#include "system/station_restore.h"

#include <ctime>
#include <map>
#include <system_error>

#include "system/auto_logon.h"
#include "system/error.h"
#include "system/file_io.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_text.h"

namespace quarn {
namespace {

// Releases the hives however the restore ends.
class ReachedHives {
  public:
    explicit ReachedHives(StationRestorePlatform& platform) : platform_(platform) {}
    ReachedHives(const ReachedHives&) = delete;
    ReachedHives& operator=(const ReachedHives&) = delete;
    ~ReachedHives() { platform_.ReleaseUserHives(); }

  private:
    StationRestorePlatform& platform_;
};

// What the targets' hive names are below HKEY_USERS for this restore.
struct HiveNames {
    std::map<std::wstring, std::wstring> reached;  // folded SID -> key name
    std::map<std::wstring, std::wstring> back;     // folded key name -> SID

    std::wstring Rebased(const std::wstring& keyPath,
                         const std::map<std::wstring, std::wstring>& to) const {
        auto [hive, rest] = SplitHiveName(keyPath);
        const auto found = to.find(FoldRegistryName(hive));
        return found == to.end() ? keyPath : found->second + rest;
    }
};

void Rebase(RecordedTarget& target, const HiveNames& names,
            const std::map<std::wstring, std::wstring>& to) {
    if (target.root == RegistryRoot::Users) {
        target.keyPath = names.Rebased(target.keyPath, to);
    }
}

// The restore point's targets whose hives could be reached, below the names
// the hives have now; the SIDs that could not be reached are reported.
RestorePoint Reachable(const RestorePoint& point, StationRestorePlatform& platform,
                       HiveNames& names, std::vector<std::string>& unreachable) {
    std::map<std::wstring, bool> tried;  // folded SID -> reached
    std::vector<RecordedTarget> targets;
    for (RecordedTarget target : point.Targets()) {
        if (target.root == RegistryRoot::Users) {
            const std::wstring sid = SplitHiveName(target.keyPath).first;
            const std::wstring folded = FoldRegistryName(sid);
            if (!tried.count(folded)) {
                try {
                    const std::wstring keyName = platform.ReachUserHive(sid);
                    names.reached[folded] = keyName;
                    names.back[FoldRegistryName(keyName)] = sid;
                    tried[folded] = true;
                } catch (const Error& error) {
                    unreachable.push_back(error.what());
                    tried[folded] = false;
                }
            }
            if (!tried[folded]) {
                continue;
            }
            Rebase(target, names, names.reached);
        }
        targets.push_back(std::move(target));
    }
    return RestorePoint(std::move(targets));
}

// The outcome's targets below the SIDs the restore point names.
void NameAsRecorded(RestoreOutcome& outcome, const HiveNames& names) {
    for (RestoreStep& step : outcome.steps) {
        Rebase(step.target, names, names.back);
    }
    for (RecordedTarget& kept : outcome.keysKept) {
        Rebase(kept, names, names.back);
    }
    for (auto& [target, code] : outcome.failures) {
        Rebase(target, names, names.back);
    }
}

// quarn-restore-<date>.reg beside the file, or -2, -3 ... when taken.
std::filesystem::path DatedName(const std::filesystem::path& file, const std::wstring& date) {
    const std::filesystem::path folder = file.parent_path();
    const std::wstring stem = L"quarn-restore-" + date;
    std::filesystem::path name = folder / (stem + L".reg");
    for (int n = 2; FileExists(name); ++n) {
        name = folder / (stem + L"-" + std::to_wstring(n) + L".reg");
    }
    return name;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::wstring TimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, format, &local);
    return Utf8ToUtf16(text);
}

}  // namespace

StationRestoreOutcome RestoreStation(const std::filesystem::path& file, RegistryBackend& registry,
                                     StationRestorePlatform& platform, bool dryRun,
                                     const std::wstring& date) {
    const std::optional<RestorePoint> point = LoadRestorePoint(file);
    if (!point) {
        throw Error(kNoRestorePoint);
    }
    StationRestoreOutcome outcome;
    {
        const ReachedHives hives(platform);
        HiveNames names;
        const RestorePoint reachable = Reachable(*point, platform, names, outcome.unreachableHives);
        outcome.registry = RestoreRegistry(reachable, registry, dryRun);
        NameAsRecorded(outcome.registry, names);
    }

    outcome.lockDownSwitchedOff = ReadCompleteLockDown(registry) == L"true";
    if (outcome.lockDownSwitchedOff && !dryRun) {
        WriteCompleteLockDown(false, registry);
    }
    // Recorded logon values have their state now; without them, the locked
    // account's automatic logon is what QUARN left, and goes.
    const std::wstring account = ReadAccountName(registry);
    outcome.autoLogonSwitchedOff = !HoldsAutoLogon(*point) && ReadAutoLogonOn(registry) &&
                                   !account.empty() &&
                                   LowerAZ(ReadAutoLogonUser(registry)) == account;
    if (outcome.autoLogonSwitchedOff && !dryRun) {
        WriteAutoLogon(false, L"", L"", registry);
    }
    outcome.administrators = point->Administrators();
    if (outcome.administrators && !dryRun) {
        outcome.administratorsStatus = platform.SetAdministratorsMember(
            outcome.administrators->member, outcome.administrators->wasMember);
    }

    if (!dryRun && outcome.Complete()) {
        const std::filesystem::path dated = DatedName(file, date);
        std::error_code error;
        std::filesystem::rename(file, dated, error);
        if (error) {
            throw Error("The station is restored, but the restore point " + PathText(file) +
                        " could not be renamed to " + PathText(dated) + " (" + error.message() +
                        "); the next Lock Down adds to it");
        }
        outcome.keptAs = dated;
    }
    return outcome;
}

std::string DescribeRestore(const StationRestoreOutcome& outcome, bool dryRun) {
    const RestoreOutcome& registry = outcome.registry;
    std::string text = dryRun ? "Would be restored: " : "Restored: ";
    text += Count(registry.valuesRestored, "value", "values") + " set back, " +
            Count(registry.valuesDeleted, "value", "values") + " deleted, " +
            Count(registry.keysRecreated, "key", "keys") + " created again, " +
            Count(registry.keysRemoved, "key", "keys") + " removed.\n";
    for (const RecordedTarget& kept : registry.keysKept) {
        text += "Kept, it holds values QUARN did not write: " + TargetKeyText(kept) + "\n";
    }
    for (const auto& [target, code] : registry.failures) {
        text +=
            "Not restored: " + TargetKeyText(target) + " (error " + std::to_string(code) + ")\n";
    }
    for (const std::string& hive : outcome.unreachableHives) {
        text += "Not restored, the account's hive cannot be reached: " + hive + "\n";
    }
    if (outcome.lockDownSwitchedOff) {
        text += dryRun ? "Lock Down would be switched off.\n" : "Lock Down is switched off.\n";
    }
    if (outcome.autoLogonSwitchedOff) {
        text += dryRun ? "Auto Logon would be switched off.\n" : "Auto Logon is switched off.\n";
    }
    if (outcome.administrators) {
        const std::string member = Utf16ToUtf8(outcome.administrators->member);
        const std::string state = outcome.administrators->wasMember
                                      ? " a member of the Administrators group again"
                                      : " no member of the Administrators group";
        if (dryRun) {
            text += member + " would be" + state + ".\n";
        } else if (outcome.administratorsStatus == 0) {
            text += member + " is" + state + ".\n";
        } else {
            text += member + " could not be made" + state + " (status " +
                    std::to_string(outcome.administratorsStatus) + ").\n";
        }
    }
    if (!outcome.keptAs.empty()) {
        text += "The restore point is kept as " + PathText(outcome.keptAs.filename()) +
                "; the next Lock Down records afresh.\n";
    } else if (!dryRun) {
        text += "The restore point stays, so that a later restore can try again.\n";
    }
    return text;
}

std::string TargetKeyText(const RecordedTarget& target) {
    std::string text =
        Utf16ToUtf8(std::wstring(target.root == RegistryRoot::Users ? L"HKEY_USERS\\"
                                                                    : L"HKEY_LOCAL_MACHINE\\") +
                    target.keyPath);
    if (target.kind == RecordedKind::Value) {
        text +=
            target.valueName.empty() ? " (Default)" : " \"" + Utf16ToUtf8(target.valueName) + "\"";
    }
    return text;
}

std::string RecordedStateText(const RecordedTarget& target) {
    switch (target.kind) {
        case RecordedKind::CreatedKey:
            return "key did not exist";
        case RecordedKind::ExistingKey:
            return "key existed";
        case RecordedKind::Value:
            break;
    }
    return DescribeValue(target.prior);
}

std::string DescribeStep(const RestoreStep& step) {
    switch (step.action) {
        case RestoreAction::RecreateKey:
            return "create again  " + TargetKeyText(step.target);
        case RestoreAction::SetValue:
            return "set back      " + TargetKeyText(step.target) + " = " +
                   RecordedStateText(step.target);
        case RestoreAction::DeleteValue:
            return "delete        " + TargetKeyText(step.target);
        case RestoreAction::RemoveKey:
            return "remove        " + TargetKeyText(step.target);
        case RestoreAction::KeepKey:
            return "keep          " + TargetKeyText(step.target) +
                   " (it holds values QUARN did not write)";
    }
    return {};
}

std::wstring LocalDateText() {
    return TimeText("%Y-%m-%d");
}

std::wstring LocalTimeText() {
    return TimeText("%Y-%m-%d %H:%M:%S");
}

}  // namespace quarn
