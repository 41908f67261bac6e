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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

    // In the order recorded.
    const std::vector<RecordedTarget>& Targets() const { return targets_; }
    bool Empty() const { return targets_.empty(); }

  private:
    bool Holds(RecordedKind kind, RegistryRoot root, std::wstring_view keyPath,
               std::wstring_view valueName) const;
    void Add(RecordedTarget target);

    std::vector<RecordedTarget> targets_;
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
// comments come first.
RegFile ToRegFile(const RestorePoint& point, std::vector<std::wstring> headerComments);

// The restore point a file holds. Every key section that is not a created key
// existed when it was recorded. Raises Error for what a restore point never
// holds: a deleted key ([-KEY]), or a key below another root.
RestorePoint FromRegFile(const RegFile& file);

// Reads the restore point at path; nothing when there is none. A file that
// cannot be read or is damaged raises Error with the reader's message and the
// byte where it stopped: such a file is never written over.
std::optional<RestorePoint> LoadRestorePoint(const std::filesystem::path& path);

// Writes the restore point in place of the file, atomically.
void SaveRestorePoint(const std::filesystem::path& path, const RestorePoint& point,
                      std::vector<std::wstring> headerComments);

}  // namespace quarn
