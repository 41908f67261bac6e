// The lock catalogue as one registry file, read by the system's own reg.exe:
// after `reg import` every value and key the rows name holds in the real
// registry what the applier writes for the same rows into the in-memory
// registry. The account is made up, so its hive below HKEY_USERS is the
// test's own; the machine's values are recorded before and put back after.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/applicable_rows.h"
#include "catalogue/builtin_catalogues.h"
#include "catalogue/group_policy.h"
#include "catalogue/row_restore.h"
#include "support/apply_one_row.h"
#include "support/reg_exe_win32.h"
#include "support/registry_backends.h"
#include "support/registry_snapshot.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/memory_registry.h"
#include "system/reg_file.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

// No account has it; Wine lets its hive be made directly below HKEY_USERS.
constexpr wchar_t kMadeUpSid[] = L"S-1-5-21-3141592653-5897932384-6264338327-1950";

// What the registry holds of one row's target.
struct TargetState {
    bool keyExists = false;
    std::optional<RegistryValue> value;  // for a value row
    bool operator==(const TargetState&) const = default;
};

void PrintTo(const TargetState& state, std::ostream* out) {
    if (!state.keyExists) {
        *out << "no key";
        return;
    }
    *out << "key";
    if (state.value) {
        *out << ", type " << state.value->type << ", data";
        for (const std::uint8_t byte : state.value->data) {
            *out << ' ' << static_cast<int>(byte);
        }
    }
}

std::pair<RegistryRoot, std::wstring> KeyOf(const ApplicableRow& row, std::wstring_view sid) {
    std::wstring path;
    for (const std::wstring_view name : KeyPathNames(row.target.keyPath)) {
        path += (path.empty() ? L"" : L"\\") + std::wstring(name);
    }
    if (row.target.hive == RowHive::PerUser) {
        return {RegistryRoot::Users, std::wstring(sid) + L"\\" + path};
    }
    return {RegistryRoot::LocalMachine, path};
}

// Each row's target by INDEX, as the registry holds it.
std::map<std::string, TargetState> StatesOf(RegistryBackend& registry,
                                            const std::vector<ApplicableRow>& rows,
                                            std::wstring_view sid) {
    std::map<std::string, TargetState> states;
    for (const ApplicableRow& row : rows) {
        const auto [root, path] = KeyOf(row, sid);
        TargetState& state = states[row.index];
        KeyHandle key{};
        if (registry.OpenKey(registry.Root(root), path, kKeyRead, key) != kErrorSuccess) {
            continue;
        }
        const OwnedKey owner(registry, key);
        state.keyExists = true;
        const bool wholeKey = row.target.operation == RowOperation::CreateKey ||
                              row.target.operation == RowOperation::DeleteKey;
        RegistryValue value;
        if (!wholeKey && registry.QueryValue(key, row.target.valueName, value) == kErrorSuccess) {
            state.value = value;
        }
    }
    return states;
}

// Rows of the kinds and orders the lock catalogue lacks, below test keys: a
// value deleted, a key deleted with what is below it and then written again,
// a key only created, the default value, a value of no bytes.
std::vector<PolicyRecord> RowsTheLockCatalogueLacks(const std::string& machine,
                                                    const std::string& user) {
    std::vector<PolicyRecord> rows;
    std::int32_t index = 10;
    for (const std::string& base : {machine, user}) {
        const auto add = [&](const std::string& key, const char* name, const char* value,
                             const char* kind) {
            rows.push_back({index, base + key, name, value, kind, "W10/W11", "aktiviert", ""});
            index += 10;
        };
        add("\\Values", "Hex", "DEADBEEF", "REG_DWHEX");
        add("\\Values", "", "the default", "REG_SZ");
        add("\\Values", "NoBytes", "", "REG_BINARY");
        add("\\Values", "Old", "", "DEL_SUBKEY");
        add("\\Values", "Absent", "", "DEL_SUBKEY");
        add("\\Gone", "", "", "DEL_SUBTREE");
        add("\\Gone", "Back", "1", "REG_DWORD");
        add("\\Made\\Deeper", "", "", "ADD_SUBTREE");
    }
    return rows;
}

class CatalogueThroughRegImport : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(KeyExists(RegistryRoot::Users, kMadeUpSid))
            << "HKEY_USERS\\" << Utf16ToUtf8(kMadeUpSid) << " is left from an earlier run";
        memory_.LoadHive(kMadeUpSid);
    }

    void TearDown() override {
        if (recorded_) {
            const RestoreOutcome outcome = RestoreRegistry(before_, real_, false);
            EXPECT_TRUE(outcome.failures.empty()) << outcome.failures.size() << " not put back";
        }
        for (const auto& [root, path] : {std::pair{RegistryRoot::Users, std::wstring(kMadeUpSid)},
                                         std::pair{RegistryRoot::LocalMachine, machineTestKey_}}) {
            RegistryAccess cleanup(kKeyAllAccess, real_);
            cleanup.SetRootKey(root);
            cleanup.DeleteKey(L"\\" + path);
            EXPECT_FALSE(KeyExists(root, path)) << Utf16ToUtf8(path);
        }
    }

    bool KeyExists(RegistryRoot root, const std::wstring& path) {
        KeyHandle key{};
        if (real_.OpenKey(real_.Root(root), path, kKeyRead, key) != kErrorSuccess) {
            return false;
        }
        real_.CloseKey(key);
        return true;
    }

    // A value both registries hold before the rows, below the SID for
    // per-user keys.
    void Seed(RegistryRoot root, const std::wstring& key, const std::wstring& name) {
        const std::wstring path =
            root == RegistryRoot::Users ? std::wstring(kMadeUpSid) + L"\\" + key : key;
        for (RegistryBackend* registry : {&real_, static_cast<RegistryBackend*>(&memory_)}) {
            test::WriteRaw(*registry, root, path, name, kRegSz, StringValueData(L"before"));
        }
    }

    // The table's rows as a registry file through reg import into the real
    // registry, and applied to the in-memory one: every row's target and
    // everything below the test's own keys the same in both.
    void ImportAndCompare(PolicyTable table) {
        const std::vector<ApplicableRow> rows = FindApplicableRows(table).rows;
        ASSERT_FALSE(rows.empty());
        // What the import will change, as a pass records it before a lock-down.
        RecordCatalogueChanges(before_, real_, table, kMadeUpSid);
        recorded_ = true;
        test::ApplyAll(table, memory_, kMadeUpSid);

        const std::filesystem::path file = folder_ / "catalogue.reg";
        ReplaceFileContents(file, WriteRegFile(CatalogueAsRegFile(rows, kMadeUpSid)));
        ASSERT_EQ(test::RunReg(L"import \"" + file.wstring() + L"\""), 0u);

        // Every row's value or key, machine rows among them.
        EXPECT_EQ(StatesOf(real_, rows, kMadeUpSid), StatesOf(memory_, rows, kMadeUpSid));
        // Nothing else below the account's hive or the machine's test key.
        for (const auto& [root, path] : {std::pair{RegistryRoot::Users, std::wstring(kMadeUpSid)},
                                         std::pair{RegistryRoot::LocalMachine, machineTestKey_}}) {
            SCOPED_TRACE(Utf16ToUtf8(path));
            const test::Snapshot imported = test::Take(real_, root, path);
            const test::Snapshot applied = test::Take(memory_, root, path);
            EXPECT_EQ(imported.keys, applied.keys);
            EXPECT_EQ(imported.values, applied.values);
        }
    }

    RegistryBackend& real_ = DefaultRegistry();
    MemoryRegistry memory_;
    const std::wstring machineTestKey_ = L"SOFTWARE\\" + test::UniqueTestKeyName();
    RestorePoint before_;
    bool recorded_ = false;
    test::TempFolder folder_;
};

TEST_F(CatalogueThroughRegImport, TheLockCatalogueHoldsWhatTheApplierWrites) {
    ImportAndCompare(BuiltInLockCatalogue());
}

TEST_F(CatalogueThroughRegImport, DeletionsCreatedKeysAndTheirOrderHoldWhatTheApplierWrites) {
    const std::wstring userKey = L"Software\\" + test::UniqueTestKeyName();
    for (const auto& [root, base] : {std::pair{RegistryRoot::LocalMachine, machineTestKey_},
                                     std::pair{RegistryRoot::Users, userKey}}) {
        Seed(root, base + L"\\Values", L"Old");
        Seed(root, base + L"\\Values", L"Kept");
        Seed(root, base + L"\\Gone", L"Before");
        Seed(root, base + L"\\Gone\\Deeper", L"Below");
    }
    ImportAndCompare(TableOf(RowsTheLockCatalogueLacks("HKLM\\" + Utf16ToUtf8(machineTestKey_),
                                                       "HKCU\\" + Utf16ToUtf8(userKey))));
}

}  // namespace
}  // namespace quarn
