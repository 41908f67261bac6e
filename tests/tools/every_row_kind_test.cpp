// Every kind of the kinds table, in both hives, reaches both of its readers:
// quarnctl check accepts a row of it, and the applier leaves in each registry
// of the build what ResolveRowTarget says the row does.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "catalogue/policy_row_applier.h"
#include "support/apply_one_row.h"
#include "support/registry_backends.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/registry_access.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn {
namespace {

// A SUBKEY and KEYVALUE that a row of the kind takes as meant. A kind added
// to the table needs a sample here.
struct Sample {
    std::string subkey;
    std::string keyValue;
};
const std::map<std::string_view, Sample> kSamples = {
    {"REG_DWORD", {"Value", "-2"}},
    {"REG_DWHEX", {"Value", "0000ff"}},
    {"REG_SZ",
     {"Value",
      "Gr\xFC\xDF"
      "e \x80"}},
    {"REG_BINARY", {"Value", "0011FF"}},
    {"DEL_SUBTREE", {"", ""}},
    {"DEL_SUBKEY", {"Value", ""}},
    {"ADD_SUBTREE", {"", ""}},
};

class EveryRowKind : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        sid_ = registry_->LoadedSid();
        name_ = Utf16ToCp1252(test::UniqueTestKeyName());
    }

    void TearDown() override {
        for (const RowHive hive : {RowHive::PerUser, RowHive::Machine}) {
            Access(hive).DeleteKey(FromRoot(hive, L"\\Software\\" + Cp1252ToUtf16(name_)));
        }
    }

    RegistryAccess Access(RowHive hive) {
        RegistryAccess access(kKeyAllAccess, registry_->Backend());
        access.SetRootKey(hive == RowHive::PerUser ? RegistryRoot::Users
                                                   : RegistryRoot::LocalMachine);
        return access;
    }

    // A row's key path as the registry's root sees it.
    std::wstring FromRoot(RowHive hive, const std::wstring& keyPath) const {
        return hive == RowHive::PerUser ? L"\\" + sid_ + keyPath : keyPath;
    }

    bool KeyExists(const RowTarget& target) {
        return Access(target.hive).OpenKey(FromRoot(target.hive, target.keyPath), false);
    }

    std::optional<RegistryValue> ValueOf(const RowTarget& target) {
        RegistryBackend& backend = registry_->Backend();
        const RegistryRoot root =
            target.hive == RowHive::PerUser ? RegistryRoot::Users : RegistryRoot::LocalMachine;
        KeyHandle key{};
        if (backend.OpenKey(backend.Root(root), FromRoot(target.hive, target.keyPath).substr(1),
                            kKeyRead, key) != kErrorSuccess) {
            return std::nullopt;
        }
        const OwnedKey owner(backend, key);
        RegistryValue value;
        if (backend.QueryValue(key, target.valueName, value) != kErrorSuccess) {
            return std::nullopt;
        }
        return value;
    }

    // What a deletion needs to find: the value, or the key with a subkey.
    void Prepare(const RowTarget& target) {
        RegistryAccess access = Access(target.hive);
        if (target.operation == RowOperation::DeleteValue) {
            ASSERT_TRUE(access.OpenKey(FromRoot(target.hive, target.keyPath), true));
            access.WriteString(target.valueName, L"there");
        } else if (target.operation == RowOperation::DeleteKey) {
            ASSERT_TRUE(access.OpenKey(FromRoot(target.hive, target.keyPath + L"\\Sub"), true));
            access.WriteString(L"x", L"y");
        }
    }

    std::string Apply(const PolicyRecord& record) {
        return test::ApplyOneRow(record, registry_->Backend(), sid_);
    }

    std::string Check(const PolicyRecord& record) {
        PolicyTable table;
        table.CreateDataSet();
        table.AppendRow(record);
        const std::filesystem::path file = folder_.Path() / "kind.xml";
        ReplaceFileContents(file, table.SaveToBytes());
        std::ostringstream out;
        std::ostringstream err;
        RunQuarnctl({"check", file.string()}, out, err);
        return out.str() + err.str();
    }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::wstring sid_;
    std::string name_;
    test::TempFolder folder_;
};

TEST_P(EveryRowKind, IsAcceptedByCheckAndAppliedAsResolved) {
    for (const RowKind& kind : RowKinds()) {
        const auto sample = kSamples.find(kind.name);
        ASSERT_NE(sample, kSamples.end()) << "no sample row for " << kind.name;
        for (const auto& [hive, tag] :
             {std::pair{RowHive::PerUser, "HKCU"}, std::pair{RowHive::Machine, "HKLM"}}) {
            const std::string subtree =
                std::string(tag) + "\\Software\\" + name_ + "\\" + std::string(kind.name);
            SCOPED_TRACE(subtree);
            const PolicyRecord record{5000,
                                      subtree,
                                      sample->second.subkey,
                                      sample->second.keyValue,
                                      std::string(kind.name),
                                      "XP",
                                      "aktiviert",
                                      "Text"};
            EXPECT_EQ(Check(record), "No findings in 1 rows.\n");

            const auto resolved = ResolveRowTarget(FieldsOf(record));
            const RowTarget* target = std::get_if<RowTarget>(&resolved);
            ASSERT_NE(target, nullptr);
            EXPECT_EQ(target->hive, hive);
            ASSERT_NO_FATAL_FAILURE(Prepare(*target));

            EXPECT_EQ(Apply(record), kind.countsAsWritten ? "aktiviert" : "deaktiviert");
            switch (target->operation) {
                case RowOperation::WriteValue: {
                    const auto value = ValueOf(*target);
                    ASSERT_TRUE(value.has_value());
                    EXPECT_EQ(value->type, static_cast<std::uint32_t>(target->valueType));
                    EXPECT_EQ(value->data, target->data);
                    break;
                }
                case RowOperation::DeleteValue:
                    EXPECT_TRUE(KeyExists(*target));
                    EXPECT_FALSE(ValueOf(*target).has_value());
                    break;
                case RowOperation::CreateKey:
                    EXPECT_TRUE(KeyExists(*target));
                    break;
                case RowOperation::DeleteKey:
                    EXPECT_FALSE(KeyExists(*target));
                    break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Registries, EveryRowKind, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
