// The tables for Windows 10 and 11 against the row kinds and the built-in
// catalogues: every row converts, no row names a value that another row of
// the lock catalogue names, the recommended values belong to the built-in rows
// they name, and every escape route that registry values close is closed by
// some row.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/row_kinds.h"
#include "catalogue/windows_tables.h"
#include "system/text_case.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

// The registry value a row names, whatever its KEYVALUE.
struct NamedValue {
    RowHive hive;
    std::wstring keyPath;
    std::wstring valueName;
};

std::optional<NamedValue> ValueOf(const RowFields& row) {
    const ParsedSubtree subtree = ParseSubtree(row.subtree);
    const RowKind* kind = FindRowKind(row.dataType);
    if (subtree.hive == RowHive::Unknown || kind == nullptr || kind->wholeKey) {
        return std::nullopt;
    }
    return NamedValue{subtree.hive, Cp1252ToUtf16(subtree.keyPath), Cp1252ToUtf16(row.subkey)};
}

// As the registry compares: the same hive, key names and value name, letter
// case aside, and a trailing or doubled backslash separating nothing.
bool SameValue(const NamedValue& a, const NamedValue& b) {
    const auto keysA = KeyPathNames(a.keyPath);
    const auto keysB = KeyPathNames(b.keyPath);
    return a.hive == b.hive &&
           std::equal(keysA.begin(), keysA.end(), keysB.begin(), keysB.end(), SameRegistryName) &&
           SameRegistryName(a.valueName, b.valueName);
}

std::string Describe(const RowFields& row) {
    return Cp1252ToUtf8(row.subtree) + "|" + Cp1252ToUtf8(row.subkey) + "|" +
           std::string(row.dataType) + "|" + Cp1252ToUtf8(row.keyValue);
}

// A lock catalogue's row by what it writes, and where it comes from.
struct LockRow {
    std::string origin;
    RowFields fields;
};

LockRow LockRowOf(const BuiltInRow& row, std::string origin) {
    return {std::move(origin), {row.subtree, row.subkey, row.lockValue, row.dataType}};
}

std::vector<LockRow> BuiltInLockRows() {
    std::vector<LockRow> rows;
    for (const BuiltInRow& row : BuiltInRows()) {
        rows.push_back(LockRowOf(row, "built-in " + std::to_string(row.index)));
    }
    return rows;
}

void AddWindowsRows(std::vector<LockRow>& rows) {
    for (const BuiltInRow& row : Windows1011Rows()) {
        rows.push_back(LockRowOf(row, std::to_string(row.index)));
    }
}

const BuiltInRow* BuiltInRowAt(std::int32_t index) {
    for (const BuiltInRow& row : BuiltInRows()) {
        if (row.index == index) {
            return &row;
        }
    }
    return nullptr;
}

// The recommended lock catalogue: the built-in lock rows with the recommended
// values, then the rows for Windows 10 and 11. STATUS aside, as a row switched
// off closes its route once it is switched on.
std::vector<LockRow> RecommendedLockRows() {
    std::vector<LockRow> rows;
    for (const BuiltInRow& row : BuiltInRows()) {
        LockRow lockRow = LockRowOf(row, "built-in " + std::to_string(row.index));
        for (const RecommendedOverride& change : RecommendedOverrides()) {
            if (change.index == row.index) {
                lockRow.fields.keyValue = change.lockValue;
            }
        }
        rows.push_back(lockRow);
    }
    AddWindowsRows(rows);
    return rows;
}

TEST(WindowsRows, WriteTheirLockAndUnlockValuesThroughTheRowKinds) {
    ASSERT_FALSE(Windows1011Rows().empty());
    for (const BuiltInRow& row : Windows1011Rows()) {
        for (const char* value : {row.lockValue, row.unlockValue}) {
            const RowFields fields{row.subtree, row.subkey, value, row.dataType};
            SCOPED_TRACE(std::to_string(row.index) + " " + Describe(fields));
            const auto target = ResolveRowTarget(fields);
            ASSERT_TRUE(std::holds_alternative<RowTarget>(target))
                << "fault " << static_cast<int>(std::get<RowFault>(target));
            EXPECT_EQ(std::get<RowTarget>(target).operation, RowOperation::WriteValue);
        }
        EXPECT_TRUE(row.status == kStatusOn || row.status == kStatusOff) << row.index;
    }
}

TEST(WindowsRows, NameNoValueThatAnotherRowOfTheLockCatalogueNames) {
    std::vector<LockRow> rows = BuiltInLockRows();
    const std::size_t firstWindowsRow = rows.size();
    AddWindowsRows(rows);
    std::vector<std::string> clashes;
    for (std::size_t i = firstWindowsRow; i < rows.size(); ++i) {
        const auto value = ValueOf(rows[i].fields);
        ASSERT_TRUE(value) << rows[i].origin;
        for (std::size_t j = 0; j < i; ++j) {
            const auto other = ValueOf(rows[j].fields);
            if (other && SameValue(*value, *other)) {
                clashes.push_back(rows[i].origin + " and " + rows[j].origin + ": " +
                                  Describe(rows[i].fields));
            }
        }
    }
    EXPECT_EQ(clashes, std::vector<std::string>{});
}

TEST(RecommendedOverrides, ChangeTheLockValueOfTheBuiltInRowTheyName) {
    ASSERT_FALSE(RecommendedOverrides().empty());
    for (const RecommendedOverride& change : RecommendedOverrides()) {
        SCOPED_TRACE(change.index);
        const BuiltInRow* row = BuiltInRowAt(change.index);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(change.subtree, row->subtree);
        EXPECT_STREQ(change.subkey, row->subkey);
        EXPECT_STREQ(change.dataType, row->dataType);
        EXPECT_STRNE(change.lockValue, row->lockValue) << "changes nothing";
        EXPECT_TRUE(change.status == kStatusOn || change.status == kStatusOff);
        const auto target =
            ResolveRowTarget({row->subtree, row->subkey, change.lockValue, row->dataType});
        EXPECT_TRUE(std::holds_alternative<RowTarget>(target));
    }
}

// Whether a lock row writes data that the condition counts as closed; a
// condition that does not convert is closed by nothing.
bool Closes(const RowFields& row, const RouteCondition& condition) {
    const auto written = ResolveRowTarget(row);
    if (!std::holds_alternative<RowTarget>(written)) {
        return false;
    }
    const RowTarget& target = std::get<RowTarget>(written);
    for (const char* data : condition.closingData) {
        const auto wanted =
            ResolveRowTarget({condition.subtree, condition.valueName, data, condition.dataType});
        if (!std::holds_alternative<RowTarget>(wanted)) {
            continue;
        }
        const RowTarget& closed = std::get<RowTarget>(wanted);
        if (SameValue({target.hive, target.keyPath, target.valueName},
                      {closed.hive, closed.keyPath, closed.valueName}) &&
            target.valueType == closed.valueType && target.data == closed.data) {
            return true;
        }
    }
    return false;
}

TEST(EscapeRoutes, ThoseThatRegistryValuesCloseAreClosedBySomeRecommendedLockRow) {
    const std::vector<LockRow> rows = RecommendedLockRows();
    std::vector<std::string> open;
    for (const EscapeRoute& route : EscapeRoutes()) {
        for (const RouteCondition& condition : route.closedBy) {
            const bool closed = std::any_of(rows.begin(), rows.end(), [&](const LockRow& row) {
                return Closes(row.fields, condition);
            });
            if (!closed) {
                open.push_back("route " + std::to_string(route.number) + ": " +
                               Cp1252ToUtf8(condition.subtree) + "|" +
                               Cp1252ToUtf8(condition.valueName));
            }
        }
    }
    EXPECT_EQ(open, std::vector<std::string>{});
}

}  // namespace
}  // namespace quarn
