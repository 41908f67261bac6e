// A catalogue compared with the registry: each applied row in force or not,
// with what it wants and what is there, after a pass and after hands and
// other tools changed values.

#include "catalogue/rows_in_force.h"

#include <gtest/gtest.h>

#include <chrono>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/policy_row_applier.h"
#include "support/apply_one_row.h"
#include "support/registry_snapshot.h"
#include "system/memory_registry.h"
#include "system/value_data.h"

namespace quarn {
namespace {

const std::wstring kSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";

TEST(RowsInForce, AfterAPassEveryAppliedRowIsInForce) {
    MemoryRegistry registry;
    registry.LoadHive(kSid);
    PolicyTable applied = BuiltInLockCatalogue();
    test::ApplyAll(applied, registry, kSid);
    PolicyTable lock = BuiltInLockCatalogue();
    const std::vector<RowInForce> rows = CompareWithRegistry(lock, registry, kSid);
    EXPECT_GT(rows.size(), 300u);
    for (const RowInForce& row : rows) {
        EXPECT_TRUE(row.inForce) << row.index << " wants " << row.wanted << ", has " << row.now;
    }
    // Without the account's hive only the machine's rows are compared.
    for (const RowInForce& row : CompareWithRegistry(lock, registry, L"")) {
        EXPECT_TRUE(row.subtree.starts_with("HKLM")) << row.index;
    }
}

TEST(RowsInForce, ValuesChangedSinceThePassAreNamed) {
    MemoryRegistry registry;
    registry.LoadHive(kSid);
    PolicyTable table = TableOf({
        {10, "HKCU\\Software\\P", "Dword", "1", "REG_DWORD", "", "aktiviert", ""},
        {20, "HKCU\\Software\\P", "Text", "on", "REG_SZ", "", "aktiviert", ""},
        {30, "HKLM\\SOFTWARE\\Quarn\\P", "Gone", "", "DEL_SUBKEY", "", "aktiviert", ""},
        {40, "HKLM\\SOFTWARE\\Quarn\\P\\Made", "", "", "ADD_SUBTREE", "", "aktiviert", ""},
        {50, "HKLM\\SOFTWARE\\Quarn\\P\\Taken", "", "", "DEL_SUBTREE", "", "aktiviert", ""},
        {60, "HKCU\\Software\\P", "Off", "1", "REG_DWORD", "", "deaktiviert", ""},
        {70, "HKXX\\Software\\P", "Unknown", "1", "REG_DWORD", "", "aktiviert", ""},
    });
    // What the deletions take away was there before the pass.
    test::WriteRaw(registry, RegistryRoot::LocalMachine, L"SOFTWARE\\Quarn\\P", L"Gone", kRegDword,
                   {1, 0, 0, 0});
    test::WriteRaw(registry, RegistryRoot::LocalMachine, L"SOFTWARE\\Quarn\\P\\Taken", L"",
                   kRegDword, {1, 0, 0, 0});
    // The pass posts its own STATUS (deletions count as not written); the
    // catalogue as the administrator keeps it is compared.
    PolicyTable applied = table;
    test::ApplyAll(applied, registry, kSid);
    for (const RowInForce& row : CompareWithRegistry(table, registry, kSid)) {
        EXPECT_TRUE(row.inForce) << row.index;
    }
    // Another type with the same bytes' meaning, a changed text, the deleted
    // value and key back, the created key gone.
    test::WriteRaw(registry, RegistryRoot::Users, kSid + L"\\Software\\P", L"Dword", kRegSz,
                   StringValueData(L"1"));
    test::WriteRaw(registry, RegistryRoot::Users, kSid + L"\\Software\\P", L"Text", kRegSz,
                   StringValueData(L"off"));
    test::WriteRaw(registry, RegistryRoot::LocalMachine, L"SOFTWARE\\Quarn\\P", L"Gone", kRegDword,
                   {1, 0, 0, 0});
    test::WriteRaw(registry, RegistryRoot::LocalMachine, L"SOFTWARE\\Quarn\\P\\Taken", L"",
                   kRegDword, {1, 0, 0, 0});
    ASSERT_EQ(registry.DeleteKey(registry.Root(RegistryRoot::LocalMachine),
                                 L"SOFTWARE\\Quarn\\P\\Made", 0),
              kErrorSuccess);

    std::vector<std::vector<std::string>> seen;
    for (const RowInForce& row : CompareWithRegistry(table, registry, kSid)) {
        seen.push_back({row.index, row.inForce ? "in force" : "differs", row.wanted, row.now});
    }
    EXPECT_EQ(seen, (std::vector<std::vector<std::string>>{
                        {"10", "differs", "REG_DWORD 1", "REG_SZ \"1\""},
                        {"20", "differs", "REG_SZ \"on\"", "REG_SZ \"off\""},
                        {"30", "differs", "absent", "REG_DWORD 1"},
                        {"40", "differs", "key present", "key absent"},
                        {"50", "differs", "key absent", "key present"},
                    }));
}

}  // namespace
}  // namespace quarn
