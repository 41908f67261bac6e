#include "system/restore_point.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "system/error.h"
#include "system/file_io.h"
#include "system/registry_access.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

std::wstring JoinKeyNames(const std::vector<std::wstring_view>& names, std::size_t count) {
    std::wstring path;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            path += L'\\';
        }
        path += names[i];
    }
    return path;
}

std::wstring NormalPath(std::wstring_view path) {
    const auto names = KeyPathNames(path);
    return JoinKeyNames(names, names.size());
}

std::size_t Depth(std::wstring_view path) {
    return KeyPathNames(path).size();
}

bool SameTarget(const RecordedTarget& target, RecordedKind kind, RegistryRoot root,
                std::wstring_view keyPath, std::wstring_view valueName) {
    return target.kind == kind && target.root == root &&
           SameRegistryName(target.keyPath, keyPath) &&
           SameRegistryName(target.valueName, valueName);
}

// The roots a restore point's keys lie below, as the registry file names them.
constexpr std::pair<RegistryRoot, std::wstring_view> kRootNames[] = {
    {RegistryRoot::Users, L"HKEY_USERS"},
    {RegistryRoot::LocalMachine, L"HKEY_LOCAL_MACHINE"},
};

std::wstring FullKeyName(RegistryRoot root, std::wstring_view keyPath) {
    for (const auto& [known, name] : kRootNames) {
        if (known == root) {
            return std::wstring(name) + L"\\" + std::wstring(keyPath);
        }
    }
    throw Error("A restore point holds keys below HKEY_USERS and HKEY_LOCAL_MACHINE only");
}

// The root and the path below it of a full key name.
std::pair<RegistryRoot, std::wstring> SplitFullKeyName(std::wstring_view fullName) {
    for (const auto& [root, name] : kRootNames) {
        if (fullName.size() > name.size() && fullName[name.size()] == L'\\' &&
            SameRegistryName(fullName.substr(0, name.size()), name)) {
            return {root, NormalPath(fullName.substr(name.size() + 1))};
        }
    }
    throw Error("The restore point names the key " + Utf16ToUtf8(fullName) +
                ", which is not below HKEY_USERS or HKEY_LOCAL_MACHINE");
}

std::string Describe(RegistryRoot root, std::wstring_view keyPath, std::wstring_view valueName) {
    std::wstring text = FullKeyName(root, keyPath);
    if (!valueName.empty()) {
        text += L" \"" + std::wstring(valueName) + L"\"";
    }
    return Utf16ToUtf8(text);
}

// An open key, or nothing when it does not exist; other failures raise.
OwnedKey OpenExisting(RegistryBackend& registry, RegistryRoot root, std::wstring_view keyPath,
                      std::uint32_t access) {
    KeyHandle key{};
    const long result = registry.OpenKey(registry.Root(root), keyPath, access, key);
    if (result == kErrorFileNotFound) {
        return {};
    }
    if (result != kErrorSuccess) {
        throw Error("The key " + Describe(root, keyPath, {}) + " could not be read (error " +
                    std::to_string(result) + ")");
    }
    return OwnedKey(registry, key);
}

std::optional<RegistryValue> ReadPrior(RegistryBackend& registry, RegistryRoot root,
                                       std::wstring_view keyPath, std::wstring_view valueName) {
    const OwnedKey key = OpenExisting(registry, root, keyPath, kKeyQueryValue);
    if (!key) {
        return std::nullopt;
    }
    RegistryValue value;
    const long result = registry.QueryValue(key.Get(), valueName, value);
    if (result == kErrorFileNotFound) {
        return std::nullopt;
    }
    if (result != kErrorSuccess) {
        throw Error("The value " + Describe(root, keyPath, valueName) +
                    " could not be read (error " + std::to_string(result) + ")");
    }
    return value;
}

// The names a key holds, or raises.
std::vector<std::wstring> Names(RegistryBackend& registry, const OwnedKey& key, bool subkeys,
                                RegistryRoot root, std::wstring_view keyPath) {
    std::vector<std::wstring> names;
    const long result = subkeys ? registry.EnumSubKeys(key.Get(), names)
                                : registry.EnumValueNames(key.Get(), names);
    if (result != kErrorSuccess) {
        throw Error("The key " + Describe(root, keyPath, {}) + " could not be listed (error " +
                    std::to_string(result) + ")");
    }
    return names;
}

constexpr std::wstring_view kAdministratorsPrefix = L"administrators: ";
constexpr std::wstring_view kWasMember = L" was a member";
constexpr std::wstring_view kWasNotMember = L" was not a member";

std::wstring AdministratorsLine(const AdministratorsMembership& membership) {
    return std::wstring(kAdministratorsPrefix) + membership.member +
           std::wstring(membership.wasMember ? kWasMember : kWasNotMember);
}

std::optional<AdministratorsMembership> ReadAdministratorsLine(std::wstring_view comment) {
    if (!comment.starts_with(kAdministratorsPrefix)) {
        return std::nullopt;
    }
    comment.remove_prefix(kAdministratorsPrefix.size());
    for (const auto& [suffix, was] :
         {std::pair{kWasNotMember, false}, std::pair{kWasMember, true}}) {
        if (comment.size() > suffix.size() && comment.ends_with(suffix)) {
            return AdministratorsMembership{
                std::wstring(comment.substr(0, comment.size() - suffix.size())), was};
        }
    }
    return std::nullopt;
}

}  // namespace

std::pair<std::wstring, std::wstring> SplitHiveName(std::wstring_view keyPath) {
    const std::size_t slash = keyPath.find(L'\\');
    if (slash == std::wstring_view::npos) {
        return {std::wstring(keyPath), {}};
    }
    return {std::wstring(keyPath.substr(0, slash)), std::wstring(keyPath.substr(slash))};
}

RestorePoint::RestorePoint(std::vector<RecordedTarget> targets) : targets_(std::move(targets)) {}

bool RestorePoint::Holds(RecordedKind kind, RegistryRoot root, std::wstring_view keyPath,
                         std::wstring_view valueName) const {
    return std::any_of(targets_.begin(), targets_.end(), [&](const RecordedTarget& target) {
        return SameTarget(target, kind, root, keyPath, valueName);
    });
}

void RestorePoint::Add(RecordedTarget target) {
    targets_.push_back(std::move(target));
}

void RestorePoint::RecordAdministrators(AdministratorsMembership membership) {
    if (!administrators_) {
        administrators_ = std::move(membership);
    }
}

void RestorePoint::RecordKeyCreation(RegistryBackend& registry, RegistryRoot root,
                                     std::wstring_view keyPath) {
    // The first name is a hive (a user's SID) or a machine key, which a
    // write never creates.
    const auto names = KeyPathNames(keyPath);
    bool missing = false;
    for (std::size_t depth = 2; depth <= names.size(); ++depth) {
        const std::wstring path = JoinKeyNames(names, depth);
        missing = missing || !OpenExisting(registry, root, path, kKeyQueryValue);
        if (missing && !Holds(RecordedKind::CreatedKey, root, path, {}) &&
            !Holds(RecordedKind::ExistingKey, root, path, {})) {
            Add({RecordedKind::CreatedKey, root, path, {}, std::nullopt});
        }
    }
}

void RestorePoint::RecordValue(RegistryBackend& registry, RegistryRoot root,
                               std::wstring_view keyPath, std::wstring_view valueName) {
    RecordKeyCreation(registry, root, keyPath);
    const std::wstring path = NormalPath(keyPath);
    if (!Holds(RecordedKind::Value, root, path, valueName)) {
        Add({RecordedKind::Value, root, path, std::wstring(valueName),
             ReadPrior(registry, root, path, valueName)});
    }
}

void RestorePoint::RecordKeyDeletion(RegistryBackend& registry, RegistryRoot root,
                                     std::wstring_view keyPath) {
    // Parents before their subkeys, so that a restore creates them in order.
    std::vector<std::wstring> pending{NormalPath(keyPath)};
    while (!pending.empty()) {
        const std::wstring path = std::move(pending.back());
        pending.pop_back();
        const OwnedKey key =
            OpenExisting(registry, root, path, kKeyQueryValue | kKeyEnumerateSubKeys);
        if (!key) {
            continue;
        }
        if (!Holds(RecordedKind::CreatedKey, root, path, {}) &&
            !Holds(RecordedKind::ExistingKey, root, path, {})) {
            Add({RecordedKind::ExistingKey, root, path, {}, std::nullopt});
        }
        for (const std::wstring& name : Names(registry, key, false, root, path)) {
            if (!Holds(RecordedKind::Value, root, path, name)) {
                Add({RecordedKind::Value, root, path, name, ReadPrior(registry, root, path, name)});
            }
        }
        auto subkeys = Names(registry, key, true, root, path);
        for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it) {
            pending.push_back(path + L"\\" + *it);
        }
    }
}

RestoreOutcome RestoreRegistry(const RestorePoint& point, RegistryBackend& registry, bool dryRun) {
    RestoreOutcome outcome;
    const auto fail = [&](const RecordedTarget& target, long code) {
        outcome.failures.emplace_back(target, code);
    };
    const auto step = [&](RestoreAction action, const RecordedTarget& target) {
        outcome.steps.push_back({action, target});
    };

    // Keys that a deletion took away come back first, parents before subkeys.
    for (const RecordedTarget& target : point.Targets()) {
        if (target.kind != RecordedKind::ExistingKey) {
            continue;
        }
        if (OpenExisting(registry, target.root, target.keyPath, kKeyQueryValue)) {
            continue;
        }
        ++outcome.keysRecreated;
        step(RestoreAction::RecreateKey, target);
        if (!dryRun) {
            KeyHandle key{};
            const long result =
                registry.CreateKey(registry.Root(target.root), target.keyPath, kKeyAllAccess, key);
            if (result != kErrorSuccess) {
                fail(target, result);
                continue;
            }
            registry.CloseKey(key);
        }
    }

    // Values get their recorded state; one that has it already is left alone.
    for (const RecordedTarget& target : point.Targets()) {
        if (target.kind != RecordedKind::Value) {
            continue;
        }
        const std::optional<RegistryValue> now =
            ReadPrior(registry, target.root, target.keyPath, target.valueName);
        if (!target.prior) {
            if (!now) {
                continue;
            }
            ++outcome.valuesDeleted;
            step(RestoreAction::DeleteValue, target);
            if (!dryRun) {
                const OwnedKey key =
                    OpenExisting(registry, target.root, target.keyPath, kKeySetValue);
                const long result = registry.DeleteValue(key.Get(), target.valueName);
                if (result != kErrorSuccess && result != kErrorFileNotFound) {
                    fail(target, result);
                }
            }
            continue;
        }
        if (now && now->type == target.prior->type && now->data == target.prior->data) {
            continue;
        }
        ++outcome.valuesRestored;
        step(RestoreAction::SetValue, target);
        if (!dryRun) {
            KeyHandle key{};
            long result =
                registry.CreateKey(registry.Root(target.root), target.keyPath, kKeySetValue, key);
            if (result == kErrorSuccess) {
                const OwnedKey owner(registry, key);
                result = registry.SetValue(key, target.valueName, target.prior->type,
                                           target.prior->data);
            }
            if (result != kErrorSuccess) {
                fail(target, result);
            }
        }
    }

    // Created keys go, deepest first, when what is left in them is only what
    // the restore takes away: values recorded as absent, keys it removes.
    std::vector<const RecordedTarget*> created;
    for (const RecordedTarget& target : point.Targets()) {
        if (target.kind == RecordedKind::CreatedKey) {
            created.push_back(&target);
        }
    }
    std::stable_sort(created.begin(), created.end(), [](const auto* a, const auto* b) {
        return Depth(a->keyPath) > Depth(b->keyPath);
    });
    std::set<std::wstring> removed;  // folded paths, per root
    const auto removedName = [](const RecordedTarget& target, std::wstring_view path) {
        return std::to_wstring(static_cast<int>(target.root)) + L":" + FoldRegistryName(path);
    };
    for (const RecordedTarget* target : created) {
        const OwnedKey key = OpenExisting(registry, target->root, target->keyPath,
                                          kKeyQueryValue | kKeyEnumerateSubKeys);
        if (!key) {
            continue;
        }
        bool empty = true;
        for (const std::wstring& name :
             Names(registry, key, false, target->root, target->keyPath)) {
            empty =
                empty && std::any_of(point.Targets().begin(), point.Targets().end(),
                                     [&](const RecordedTarget& value) {
                                         return SameTarget(value, RecordedKind::Value, target->root,
                                                           target->keyPath, name) &&
                                                !value.prior;
                                     });
        }
        for (const std::wstring& name : Names(registry, key, true, target->root, target->keyPath)) {
            empty = empty && removed.count(removedName(*target, target->keyPath + L"\\" + name));
        }
        if (!empty) {
            outcome.keysKept.push_back(*target);
            step(RestoreAction::KeepKey, *target);
            continue;
        }
        removed.insert(removedName(*target, target->keyPath));
        ++outcome.keysRemoved;
        step(RestoreAction::RemoveKey, *target);
        if (!dryRun) {
            const long result = registry.DeleteKey(registry.Root(target->root), target->keyPath, 0);
            if (result != kErrorSuccess && result != kErrorFileNotFound) {
                fail(*target, result);
            }
        }
    }
    return outcome;
}

RegFile ToRegFile(const RestorePoint& point) {
    RegFile file;
    file.headerComments = point.Header();
    if (point.Administrators()) {
        file.headerComments.push_back(AdministratorsLine(*point.Administrators()));
    }
    std::map<std::wstring, std::size_t> sections;  // by folded full name
    const auto section = [&](const RecordedTarget& target) -> RegFileKey& {
        const std::wstring name = FullKeyName(target.root, target.keyPath);
        const auto [at, added] = sections.emplace(FoldRegistryName(name), file.keys.size());
        if (added) {
            file.keys.push_back({name, false, {}});
        }
        return file.keys[at->second];
    };
    for (const RecordedTarget& target : point.Targets()) {
        switch (target.kind) {
            case RecordedKind::CreatedKey:
                file.createdKeys.push_back(FullKeyName(target.root, target.keyPath));
                break;
            case RecordedKind::ExistingKey:
                section(target);
                break;
            case RecordedKind::Value:
                section(target).values.push_back({target.valueName, target.prior});
                break;
        }
    }
    return file;
}

RestorePoint FromRegFile(const RegFile& file) {
    std::vector<std::wstring> header;
    std::optional<AdministratorsMembership> administrators;
    for (const std::wstring& comment : file.headerComments) {
        if (std::optional<AdministratorsMembership> read = ReadAdministratorsLine(comment)) {
            administrators = std::move(read);
        } else {
            header.push_back(comment);
        }
    }
    std::vector<RecordedTarget> targets;
    std::set<std::wstring> created;
    for (const std::wstring& name : file.createdKeys) {
        const auto [root, path] = SplitFullKeyName(name);
        targets.push_back({RecordedKind::CreatedKey, root, path, {}, std::nullopt});
        created.insert(FoldRegistryName(FullKeyName(root, path)));
    }
    for (const RegFileKey& key : file.keys) {
        if (key.deleted) {
            throw Error("The restore point deletes the key " + Utf16ToUtf8(key.path) +
                        ", which a restore point never does");
        }
        const auto [root, path] = SplitFullKeyName(key.path);
        if (!created.count(FoldRegistryName(FullKeyName(root, path)))) {
            targets.push_back({RecordedKind::ExistingKey, root, path, {}, std::nullopt});
        }
        for (const RegFileValue& value : key.values) {
            targets.push_back({RecordedKind::Value, root, path, value.name, value.value});
        }
    }
    RestorePoint point(std::move(targets));
    point.SetHeader(std::move(header));
    if (administrators) {
        point.RecordAdministrators(std::move(*administrators));
    }
    return point;
}

std::optional<RestorePoint> LoadRestorePoint(const std::filesystem::path& path) {
    if (!FileExists(path)) {
        return std::nullopt;
    }
    const std::string bytes = ReadWholeFile(path);
    const RegFileReadResult read = ReadRegFile(bytes);
    if (!read) {
        throw Error(PathText(path) + ": " + read.message + " (at byte " +
                    std::to_string(read.offset) + ")");
    }
    return FromRegFile(read.file);
}

void SaveRestorePoint(const std::filesystem::path& path, const RestorePoint& point) {
    ReplaceFileContents(path, WriteRegFile(ToRegFile(point)));
}

std::vector<std::wstring> RestorePointHeader(const RestorePointOrigin& origin) {
    const auto named = [](const std::wstring& text) {
        return text.empty() ? std::wstring(L"(unknown)") : text;
    };
    return {
        L"QUARN restore point: the state of every registry value and key QUARN changed,",
        L"as it was before the first change.",
        L"Station: " + named(origin.station),
        L"Account: " + named(origin.account),
        L"SID: " + named(origin.sid),
        L"Recorded since: " + named(origin.time),
        L"Bring the station back with \"Restore the station\" in QUARN, with",
        L"\"quarnctl restore\", or without QUARN: reg import quarn-restore.reg",
    };
}

void RecordBeforeChange(const std::filesystem::path& path, const RestorePointOrigin& origin,
                        const std::function<void(RestorePoint&)>& record) {
    std::optional<RestorePoint> kept;
    try {
        kept = LoadRestorePoint(path);
    } catch (const Error& error) {
        throw RestorePointError(std::string(error.what()) +
                                "; it is kept as it is, and nothing was changed");
    }
    RestorePoint point = kept ? std::move(*kept) : RestorePoint();
    if (!kept) {
        point.SetHeader(RestorePointHeader(origin));
    }
    const std::size_t targets = point.Targets().size();
    const bool administrators = point.Administrators().has_value();
    record(point);
    if (point.Targets().size() == targets && point.Administrators().has_value() == administrators) {
        return;  // nothing new: the file stays as it is
    }
    try {
        SaveRestorePoint(path, point);
    } catch (const Error& error) {
        throw RestorePointError("The restore point " + PathText(path) +
                                " could not be written, so nothing was changed: " + error.what());
    }
}

}  // namespace quarn
