#pragma once

// Bringing a station back to the state its restore point recorded: the
// registry values and keys, "CompleteLockDown" off, the automatic logon of
// the locked-down account off where the restore point did not record it,
// the account's membership of the Administrators group; then the restore point is put aside under a
// dated name, so that the next Lock Down records afresh. The configurator's
// "Restore the station" and `quarnctl restore` both run this; what it needs
// beyond the registry comes through StationRestorePlatform.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn {

class StationRestorePlatform {
  public:
    virtual ~StationRestorePlatform() = default;
    // Makes the hive of the account with this SID reachable below
    // HKEY_USERS until ReleaseUserHives, and returns its key name there (the
    // SID itself while Windows has it loaded). Raises Error when it cannot.
    virtual std::wstring ReachUserHive(const std::wstring& sid) = 0;
    virtual void ReleaseUserHives() = 0;
    // Adds the member to the Administrators group or removes it; 0 or the
    // group call's status.
    virtual long SetAdministratorsMember(const std::wstring& member, bool add) = 0;
};

struct StationRestoreOutcome {
    RestoreOutcome registry;
    // Accounts whose hive could not be reached: their values stay as they are.
    std::vector<std::string> unreachableHives;
    bool lockDownSwitchedOff = false;  // "CompleteLockDown" was "true"
    // The automatic logon of the locked-down account, which the restore
    // point does not hold (a station locked by an earlier release), was on.
    bool autoLogonSwitchedOff = false;
    // The membership put back, and the group call's status (0 when done).
    std::optional<AdministratorsMembership> administrators;
    long administratorsStatus = 0;
    // Where the restore point went; empty when it stays (a dry run, or
    // something could not be put back, so that a later restore tries again).
    std::filesystem::path keptAs;

    bool Complete() const {
        return registry.failures.empty() && unreachableHives.empty() && administratorsStatus == 0;
    }
};

// The message when there is nothing to restore.
inline constexpr char kNoRestorePoint[] =
    "There is no restore point: QUARN has not changed this station since the last restore.";

// Restores the station from the restore point at file. date (e.g.
// "2026-12-11") names the file it is kept as afterwards:
// quarn-restore-<date>.reg beside it, or quarn-restore-<date>-2.reg and so on
// when that exists. With dryRun nothing is changed. Raises Error when there
// is no restore point (kNoRestorePoint) or it is damaged.
StationRestoreOutcome RestoreStation(const std::filesystem::path& file, RegistryBackend& registry,
                                     StationRestorePlatform& platform, bool dryRun,
                                     const std::wstring& date);

// The counts and what stayed, as lines for the administrator (UTF-8).
std::string DescribeRestore(const StationRestoreOutcome& outcome, bool dryRun);

// One change of a restore as a line: what is done, the key and value, and
// the state it gets.
std::string DescribeStep(const RestoreStep& step);

// A recorded target's key and value, and its recorded state, as the table
// of `quarnctl restore --show` shows them.
std::string TargetKeyText(const RecordedTarget& target);
std::string RecordedStateText(const RecordedTarget& target);

// The local date ("2026-12-11") and time ("2026-12-11 14:05:09") now.
std::wstring LocalDateText();
std::wstring LocalTimeText();

}  // namespace quarn
