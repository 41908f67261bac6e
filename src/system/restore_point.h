#pragma once

// What the registry held before the station was first locked down, and the
// way back to it. Before a value is written or deleted, or a key created or
// deleted, its state then is recorded: a value as absent or with its type and
// data, a key that did not exist as created, a key about to be deleted with
// every value and subkey below it. What is recorded first is kept: a target
// already recorded is not recorded again, so later passes add only targets
// not yet recorded and the record always holds the state before the first
// change.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "system/error.h"
#include "system/reg_file.h"
#include "system/registry_backend.h"

namespace quarn {

enum class RecordedKind {
    Value,        // a value's state: absent, or present with type and data
    CreatedKey,   // a key that did not exist and was about to be created
    ExistingKey,  // a key that existed below one about to be deleted
};

struct RecordedTarget {
    RecordedKind kind = RecordedKind::Value;
    RegistryRoot root = RegistryRoot::LocalMachine;  // LocalMachine or Users
    std::wstring keyPath;                            // from the root, without a leading backslash
    std::wstring valueName;              // for a value; empty names the key's default value
    std::optional<RegistryValue> prior;  // for a value: nothing when it was absent

    bool operator==(const RecordedTarget&) const = default;
};

// The account's membership of the Administrators group before the lock
// workflow changed it. The member is named as the group call takes it
// ("DOMAIN\name").
struct AdministratorsMembership {
    std::wstring member;
    bool wasMember = false;

    bool operator==(const AdministratorsMembership&) const = default;
};

// A per-user target's key path split into the hive's name below HKEY_USERS
// (the SID) and the rest, which keeps its leading backslash; the rest is
// empty for the hive itself.
std::pair<std::wstring, std::wstring> SplitHiveName(std::wstring_view keyPath);

class RestorePoint {
  public:
    RestorePoint() = default;
    // A restore point as it was kept, e.g. read back from its file.
    explicit RestorePoint(std::vector<RecordedTarget> targets);

    // Records a value about to be written or deleted, and every key on its
    // path that does not exist yet (writing the value creates them).
    void RecordValue(RegistryBackend& registry, RegistryRoot root, std::wstring_view keyPath,
                     std::wstring_view valueName);
    // Records every key on the path that does not exist yet.
    void RecordKeyCreation(RegistryBackend& registry, RegistryRoot root, std::wstring_view keyPath);
    // Records the key about to be deleted with every value and subkey below
    // it; nothing when it does not exist.
    void RecordKeyDeletion(RegistryBackend& registry, RegistryRoot root, std::wstring_view keyPath);

    // Records the membership before the first change; later ones are not
    // recorded.
    void RecordAdministrators(AdministratorsMembership membership);

    // In the order recorded.
    const std::vector<RecordedTarget>& Targets() const { return targets_; }
    const std::optional<AdministratorsMembership>& Administrators() const {
        return administrators_;
    }
    bool Empty() const { return targets_.empty() && !administrators_; }

    // The comment lines the file begins with (what the station was, and
    // when); kept as they were first written.
    const std::vector<std::wstring>& Header() const { return header_; }
    void SetHeader(std::vector<std::wstring> header) { header_ = std::move(header); }

  private:
    bool Holds(RecordedKind kind, RegistryRoot root, std::wstring_view keyPath,
               std::wstring_view valueName) const;
    void Add(RecordedTarget target);

    std::vector<RecordedTarget> targets_;
    std::optional<AdministratorsMembership> administrators_;
    std::vector<std::wstring> header_;
};

// One change a restore makes (or with dryRun would make).
enum class RestoreAction {
    RecreateKey,  // a key a deletion took away is created again
    SetValue,     // a value gets its recorded type and data
    DeleteValue,  // a value that was absent is deleted
    RemoveKey,    // a created key is removed
    KeepKey,      // a created key holds something not recorded and stays
};

struct RestoreStep {
    RestoreAction action = RestoreAction::SetValue;
    RecordedTarget target;
};

// What a restore did, or with dryRun would do.
struct RestoreOutcome {
    std::size_t valuesRestored = 0;  // set back to their recorded data
    std::size_t valuesDeleted = 0;   // absent before, deleted again
    std::size_t keysRecreated = 0;   // existed before a deletion, created again
    std::size_t keysRemoved = 0;     // created, and empty again after the values
    // Created keys that hold something that was not recorded, so they stay.
    std::vector<RecordedTarget> keysKept;
    // What could not be put back: the target and the registry's error code.
    std::vector<std::pair<RecordedTarget, long>> failures;
    // Every change in the order made, kept keys included.
    std::vector<RestoreStep> steps;
};

// Puts every recorded target back: keys that existed are created again,
// values get their recorded state, and created keys are removed, deepest
// first, when nothing is left in them. With dryRun the registry is only read.
RestoreOutcome RestoreRegistry(const RestorePoint& point, RegistryBackend& registry, bool dryRun);

// --- The restore point's file ----------------------------------------------

// The name of the file beside quarn.xml.
inline constexpr char kRestorePointFileName[] = "quarn-restore.reg";

// The restore point in the registry file form, so that `reg import` brings a
// station back without us: a key section for every key that holds a recorded
// value or existed below a deleted key (per-user keys below HKEY_USERS\<SID>,
// machine keys below HKEY_LOCAL_MACHINE), values that were absent as
// "Name"=-, and the keys that were created as "; created: KEY" comment lines
// (an import leaves them as they are; our restore removes them). The header
// comments come first, then the membership as a comment line
// "; administrators: DOMAIN\name was a member" (or "was not a member").
RegFile ToRegFile(const RestorePoint& point);

// The restore point a file holds. Every key section that is not a created key
// existed when it was recorded. Raises Error for what a restore point never
// holds: a deleted key ([-KEY]), or a key below another root.
RestorePoint FromRegFile(const RegFile& file);

// Reads the restore point at path; nothing when there is none. A file that
// cannot be read or is damaged raises Error with the reader's message and the
// byte where it stopped: such a file is never written over.
std::optional<RestorePoint> LoadRestorePoint(const std::filesystem::path& path);

// Writes the restore point in place of the file, atomically.
void SaveRestorePoint(const std::filesystem::path& path, const RestorePoint& point);

// What the header of a new restore point names.
struct RestorePointOrigin {
    std::wstring station;  // the computer's name
    std::wstring account;  // the locked-down account's name
    std::wstring sid;      // its SID, when known
    std::wstring time;     // when the first change was recorded
};
std::vector<std::wstring> RestorePointHeader(const RestorePointOrigin& origin);

// The restore point's file could not be read, was damaged, or could not be
// written.
class RestorePointError : public Error {
  public:
    using Error::Error;
};

// Records what a change is about to touch, before it is made: loads the
// restore point at path (a new one, headed by origin, when there is none),
// lets record add its targets and writes the file back when anything was
// added. Raises RestorePointError when the file cannot be read, is damaged
// or cannot be written, and passes on what record raises; the change must
// not be made then, and a damaged file is left as it is.
void RecordBeforeChange(const std::filesystem::path& path, const RestorePointOrigin& origin,
                        const std::function<void(RestorePoint&)>& record);

}  // namespace quarn
