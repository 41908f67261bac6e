// Lock-down passes recorded row by row and then restored: whatever the
// station held before (values absent, of another type, keys absent, keys with
// values of the station's own), the restore gives back exactly that registry,
// value by value with types.

#include "catalogue/row_restore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/policy_row_applier.h"
#include "catalogue/row_kinds.h"
#include "support/apply_one_row.h"
#include "support/registry_snapshot.h"
#include "system/memory_registry.h"
#include "system/reg_file.h"
#include "system/registry_access.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

const std::wstring kSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";

// The whole registry of the stand-in, as far as catalogues reach.
std::vector<test::Snapshot> Everything(RegistryBackend& registry) {
    return {test::Take(registry, RegistryRoot::LocalMachine, L"SOFTWARE"),
            test::Take(registry, RegistryRoot::LocalMachine, L"SYSTEM"),
            test::Take(registry, RegistryRoot::Users, kSid)};
}

// Records, then runs the pass.
void LockPass(RestorePoint& point, RegistryBackend& registry, PolicyTable table) {
    RecordCatalogueChanges(point, registry, table, kSid);
    test::ApplyAll(table, registry, kSid);
}

// Every kind of the table, for both hives, switched on; with a row of an
// unknown kind and one whose KEYVALUE does not convert, whose keys the
// applier still creates.
PolicyTable EveryKindCatalogue() {
    PolicyTable table;
    table.CreateDataSet();
    std::int32_t index = 100;
    for (const char* hive : {"HKCU\\Software\\", "HKLM\\SOFTWARE\\"}) {
        for (const RowKind& kind : RowKinds()) {
            const std::string key = std::string(hive) + "QuarnEvery\\" + std::string(kind.name);
            const std::string value = kind.valueType == RowValueType::Binary ? "0a0b" : "7";
            table.AppendRow(
                {index++, key, "Value", value, std::string(kind.name), "XP", "aktiviert", ""});
        }
        table.AppendRow({index++, std::string(hive) + "QuarnEvery\\Unknown", "Value", "1",
                         "REG_QWORD", "XP", "aktiviert", ""});
        table.AppendRow({index++, std::string(hive) + "QuarnEvery\\Unconvertible", "Value", "many",
                         "REG_DWORD", "XP", "aktiviert", ""});
    }
    return table;
}

PolicyTable FirstHalf(PolicyTable table) {
    PolicyTable half;
    half.CreateDataSet();
    table.First();
    for (int i = 0; i < table.RecordCount() / 2; ++i) {
        half.AppendRow({static_cast<std::int32_t>(i), table.GetFieldText(kColumnSubtree),
                        table.GetFieldText(kColumnSubkey), table.GetFieldText(kColumnKeyValue),
                        table.GetFieldText(kColumnDataType), "", table.GetFieldText(kColumnStatus),
                        ""});
        table.Next();
    }
    return half;
}

// A station that has settings of its own in the keys a catalogue writes:
// row by row, the value of another type, a value of the station's own beside
// it, or nothing; the key a deletion takes, with a value and a subkey. Only
// the rows a pass applies.
void StationOwnValues(RegistryBackend& registry, PolicyTable table) {
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i, table.Next()) {
        const std::string text = table.GetFieldText(kColumnSubtree);
        const auto subtree = ParseSubtree(text);  // views into text
        if (subtree.hive == RowHive::Unknown || table.GetFieldText(kColumnStatus) != kStatusOn) {
            continue;  // rows a pass does not apply
        }
        const RegistryRoot root =
            subtree.hive == RowHive::PerUser ? RegistryRoot::Users : RegistryRoot::LocalMachine;
        std::wstring key = Cp1252ToUtf16(subtree.keyPath).substr(1);
        if (subtree.hive == RowHive::PerUser) {
            key = kSid + L"\\" + key;
        }
        const std::wstring name = Cp1252ToUtf16(table.GetFieldText(kColumnSubkey));
        if (table.GetFieldText(kColumnDataType) == "DEL_SUBTREE") {
            test::WriteRaw(registry, root, key, L"Own", kRegSz, {'o', 0, 0, 0});
            test::WriteRaw(registry, root, key + L"\\Sub", L"", kRegDword, {5, 0, 0, 0});
        } else if (i % 3 == 1) {
            test::WriteRaw(registry, root, key, name, kRegSz, {'s', 0, 't', 0, 0, 0});
        } else if (i % 3 == 2) {
            test::WriteRaw(registry, root, key, L"StationOwn", kRegBinary, {1, 2, 3});
        }
    }
}

struct Case {
    const char* name;
    std::function<void(RegistryBackend&)> station;
    std::function<void(RestorePoint&, RegistryBackend&)> passes;
};

const Case kCases[] = {
    {"the lock catalogue on an untouched station", [](RegistryBackend&) {},
     [](RestorePoint& point, RegistryBackend& registry) {
         LockPass(point, registry, BuiltInLockCatalogue());
     }},
    {"the lock catalogue over the station's own values",
     [](RegistryBackend& registry) { StationOwnValues(registry, BuiltInLockCatalogue()); },
     [](RestorePoint& point, RegistryBackend& registry) {
         LockPass(point, registry, BuiltInLockCatalogue());
     }},
    {"lock, the unlock pass, lock again",
     [](RegistryBackend& registry) { StationOwnValues(registry, BuiltInLockCatalogue()); },
     [](RestorePoint& point, RegistryBackend& registry) {
         LockPass(point, registry, BuiltInLockCatalogue());
         LockPass(point, registry, BuiltInUnlockCatalogue());
         LockPass(point, registry, BuiltInLockCatalogue());
     }},
    {"every kind of row, over the station's own values",
     [](RegistryBackend& registry) { StationOwnValues(registry, EveryKindCatalogue()); },
     [](RestorePoint& point, RegistryBackend& registry) {
         LockPass(point, registry, EveryKindCatalogue());
     }},
    {"two lock passes with a bigger catalogue imported between",
     [](RegistryBackend& registry) { StationOwnValues(registry, BuiltInLockCatalogue()); },
     [](RestorePoint& point, RegistryBackend& registry) {
         LockPass(point, registry, FirstHalf(BuiltInLockCatalogue()));
         LockPass(point, registry, BuiltInLockCatalogue());
     }},
};

TEST(RowRestore, LockThenRestoreGivesBackTheStationsRegistry) {
    for (const Case& c : kCases) {
        for (const bool viaFile : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (viaFile ? ", through the file" : ""));
            MemoryRegistry registry;
            registry.LoadHive(kSid);
            c.station(registry);
            const auto before = Everything(registry);

            RestorePoint point;
            c.passes(point, registry);
            ASSERT_NE(Everything(registry), before) << "the passes changed nothing";

            const RestoreOutcome outcome =
                RestoreRegistry(viaFile ? test::ThroughItsFile(point) : point, registry, false);
            EXPECT_TRUE(outcome.failures.empty());
            EXPECT_TRUE(outcome.keysKept.empty());
            EXPECT_EQ(Everything(registry), before);
        }
    }
}

// Rows that touch nothing record nothing: a per-user row while no account has
// been found, a row of an unknown hive, a deletion of a whole branch.
TEST(RowRestore, RowsTheApplierRefusesRecordNothing) {
    const struct {
        const char* name;
        RowFields row;
        std::wstring_view sid;
    } rows[] = {
        {"no account", {"HKCU\\Software\\X", "A", "1", "REG_DWORD"}, L""},
        {"unknown hive", {"HKXX\\Software\\X", "A", "1", "REG_DWORD"}, kSid},
        {"too broad a deletion", {"HKLM\\SOFTWARE\\", "", "", "DEL_SUBTREE"}, kSid},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryRegistry registry;
        registry.LoadHive(kSid);
        RestorePoint point;
        RecordRowChange(point, registry, row.row, row.sid);
        EXPECT_TRUE(point.Empty());
    }
}

}  // namespace
}  // namespace quarn
