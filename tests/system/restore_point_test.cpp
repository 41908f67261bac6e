// The restore point: whatever a lock-down wrote, created or deleted, a
// restore gives back the registry it found, value by value with types, on
// each registry of the build; and what is recorded first is kept.

#include "system/restore_point.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/registry_backends.h"
#include "support/registry_snapshot.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/reg_file.h"
#include "system/registry_access.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {

// gtest finds it beside the type.
void PrintTo(const RecordedTarget& target, std::ostream* out) {
    *out << static_cast<int>(target.kind) << " " << Utf16ToUtf8(target.keyPath) << " \""
         << Utf16ToUtf8(target.valueName) << "\"" << (target.prior ? " present" : "");
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// One change a lock-down makes, below the case's key.
struct Change {
    enum Kind { Write, DeleteValue, CreateKey, DeleteKey } kind;
    std::wstring path;  // below the case's key; empty is the key itself
    std::wstring name = {};
    std::uint32_t type = kRegDword;
    Bytes data = {1, 0, 0, 0};
};

struct Case {
    const char* name;
    std::vector<Change> prior;  // the registry as the station had it (writes only)
    std::vector<std::vector<Change>> passes;
};

class RestorePointTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        sid_ = registry_->LoadedSid();
        name_ = test::UniqueTestKeyName();
    }
    void TearDown() override {
        for (const auto& [root, path] : Bases()) {
            RegistryAccess cleanup(kKeyAllAccess, Backend());
            cleanup.SetRootKey(root);
            cleanup.DeleteKey(L"\\" + path);
        }
    }

    RegistryBackend& Backend() { return registry_->Backend(); }

    // The same case below the machine hive and below the account's hive.
    std::vector<std::pair<RegistryRoot, std::wstring>> Bases() const {
        return {{RegistryRoot::LocalMachine, L"SOFTWARE\\" + name_},
                {RegistryRoot::Users, sid_ + L"\\Software\\" + name_}};
    }

    static std::wstring Below(const std::wstring& base, const std::wstring& path) {
        return path.empty() ? base : base + L"\\" + path;
    }

    void Perform(RegistryRoot root, const std::wstring& base, const Change& change) {
        RegistryAccess access(kKeyAllAccess, Backend());
        access.SetRootKey(root);
        const std::wstring path = L"\\" + Below(base, change.path);
        switch (change.kind) {
            case Change::Write:
                test::WriteRaw(Backend(), root, path.substr(1), change.name, change.type,
                               change.data);
                break;
            case Change::DeleteValue:
                if (access.OpenKey(path, false)) {
                    access.DeleteValue(change.name);
                }
                break;
            case Change::CreateKey:
                access.CreateKey(path);
                break;
            case Change::DeleteKey:
                access.DeleteKey(path);
                break;
        }
    }

    // As the lock-down does it: the state first, then the change.
    void RecordAndPerform(RestorePoint& point, RegistryRoot root, const std::wstring& base,
                          const Change& change) {
        const std::wstring path = Below(base, change.path);
        switch (change.kind) {
            case Change::Write:
            case Change::DeleteValue:
                point.RecordValue(Backend(), root, path, change.name);
                break;
            case Change::CreateKey:
                point.RecordKeyCreation(Backend(), root, path);
                break;
            case Change::DeleteKey:
                point.RecordKeyDeletion(Backend(), root, path);
                break;
        }
        Perform(root, base, change);
    }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::wstring sid_;
    std::wstring name_;
};

Change Write(std::wstring path, std::wstring name, std::uint32_t type, Bytes data) {
    return {Change::Write, std::move(path), std::move(name), type, std::move(data)};
}

const Bytes kSz = {'x', 0, 0, 0};  // L"x"

const Case kCases[] = {
    {"a value that was absent",
     {Write(L"Policies", L"Other", kRegSz, kSz)},
     {{Write(L"Policies", L"NoRun", kRegDword, {1, 0, 0, 0})}}},
    {"a value of another type",
     {Write(L"Policies", L"NoRun", kRegSz, kSz)},
     {{Write(L"Policies", L"NoRun", kRegDword, {1, 0, 0, 0})}}},
    {"the default value",
     {Write(L"Policies", L"", kRegSz, kSz)},
     {{Write(L"Policies", L"", kRegDword, {0, 0, 0, 0})}}},
    {"a key that was absent, its parents too",
     {},
     {{Write(L"New\\Deeper", L"NoRun", kRegDword, {1, 0, 0, 0})}}},
    {"a key with values of someone else's",
     {Write(L"Policies", L"Theirs", kRegBinary, {1, 2, 3}),
      Write(L"Policies\\Sub", L"", kRegExpandSz, kSz)},
     {{Write(L"Policies", L"Ours", kRegDword, {1, 0, 0, 0}),
       Write(L"Policies\\Made", L"Ours", kRegSz, kSz)}}},
    {"a value deleted",
     {Write(L"Winlogon", L"Background", kRegSz, kSz), Write(L"Winlogon", L"Keep", kRegDword, {})},
     {{{Change::DeleteValue, L"Winlogon", L"Background"},
       {Change::DeleteValue, L"Winlogon", L"NeverThere"}}}},
    {"a whole key deleted, with values and subkeys",
     {Write(L"Ext", L"A", kRegSz, kSz), Write(L"Ext\\One", L"B", kRegMultiSz, {'a', 0, 0, 0, 0, 0}),
      Write(L"Ext\\One\\Two", L"C", 11, {1, 2, 3, 4, 5, 6, 7, 8})},
     {{{Change::DeleteKey, L"Ext"}}}},
    {"a key created", {}, {{{Change::CreateKey, L"Made\\Here"}}}},
    {"two passes: the first state is kept",
     {Write(L"Policies", L"NoRun", kRegSz, kSz), Write(L"Policies", L"Gone", kRegBinary, {9})},
     {{Write(L"Policies", L"NoRun", kRegDword, {1, 0, 0, 0})},
      {Write(L"Policies", L"NoRun", kRegDword, {2, 0, 0, 0}),
       {Change::DeleteValue, L"Policies", L"Gone"},
       Write(L"Policies\\Later", L"New", kRegDword, {})}}},
    {"a key deleted that a pass had created",
     {},
     {{Write(L"Made", L"Ours", kRegDword, {1, 0, 0, 0})}, {{Change::DeleteKey, L"Made"}}}},
};

TEST_P(RestorePointTest, LockThenRestoreGivesBackTheRegistryItFound) {
    for (const Case& c : kCases) {
        for (const auto& [root, base] : Bases()) {
            for (const bool viaFile : {false, true}) {
                SCOPED_TRACE(std::string(c.name) +
                             (root == RegistryRoot::Users ? " (user)" : " (machine)") +
                             (viaFile ? ", through the file" : ""));
                for (const Change& change : c.prior) {
                    Perform(root, base, change);
                }
                const test::Snapshot before = test::Take(Backend(), root, base);

                RestorePoint recorded;
                for (const auto& pass : c.passes) {
                    for (const Change& change : pass) {
                        RecordAndPerform(recorded, root, base, change);
                    }
                }
                const RestorePoint point = viaFile ? test::ThroughItsFile(recorded) : recorded;
                const test::Snapshot locked = test::Take(Backend(), root, base);
                EXPECT_NE(locked, before) << "the case changes nothing";

                const RestoreOutcome dry = RestoreRegistry(point, Backend(), true);
                EXPECT_EQ(test::Take(Backend(), root, base), locked)
                    << "a dry run changed the registry";

                const RestoreOutcome done = RestoreRegistry(point, Backend(), false);
                EXPECT_TRUE(done.failures.empty());
                EXPECT_TRUE(done.keysKept.empty());
                EXPECT_EQ(test::Take(Backend(), root, base), before);
                EXPECT_EQ(dry.valuesRestored, done.valuesRestored);
                EXPECT_EQ(dry.valuesDeleted, done.valuesDeleted);
                EXPECT_EQ(dry.keysRecreated, done.keysRecreated);
                EXPECT_EQ(dry.keysRemoved, done.keysRemoved);

                // A second restore finds nothing left to do.
                const RestoreOutcome again = RestoreRegistry(point, Backend(), false);
                EXPECT_EQ(again.valuesRestored + again.valuesDeleted + again.keysRecreated +
                              again.keysRemoved,
                          0u);

                RegistryAccess cleanup(kKeyAllAccess, Backend());
                cleanup.SetRootKey(root);
                cleanup.DeleteKey(L"\\" + base);
            }
        }
    }
}

// A key the lock-down created that has since gained a value of someone
// else's stays, with that value, and is named; the values it wrote go.
TEST_P(RestorePointTest, ACreatedKeyThatHoldsSomethingElseStays) {
    const auto [root, base] = Bases().front();
    RestorePoint point;
    RecordAndPerform(point, root, base, Write(L"Made", L"Ours", kRegDword, {1, 0, 0, 0}));
    Perform(root, base, Write(L"Made", L"Theirs", kRegSz, kSz));

    const RestoreOutcome outcome = RestoreRegistry(point, Backend(), false);
    // The case's own key was created too, and holds the kept one.
    ASSERT_EQ(outcome.keysKept.size(), 2u);
    EXPECT_EQ(outcome.keysKept[0].keyPath, base + L"\\Made");
    EXPECT_EQ(outcome.keysKept[1].keyPath, base);
    const test::Snapshot after = test::Take(Backend(), root, base);
    EXPECT_EQ(after.values.size(), 1u);
    EXPECT_TRUE(after.values.count({FoldRegistryName(base + L"\\Made"), L"Theirs"}));
}

// Each target is recorded once, with the state the registry had the first
// time; hives and machine keys are never taken for created keys.
TEST_P(RestorePointTest, ATargetIsRecordedOnceWithItsFirstState) {
    const auto [root, base] = Bases().front();
    RestorePoint point;
    RecordAndPerform(point, root, base, Write(L"K", L"V", kRegDword, {1, 0, 0, 0}));
    RecordAndPerform(point, root, base, Write(L"k", L"v", kRegDword, {2, 0, 0, 0}));
    point.RecordKeyCreation(Backend(), root, base + L"\\K");

    const std::vector<RecordedTarget> expected = {
        {RecordedKind::CreatedKey, root, base, {}, std::nullopt},
        {RecordedKind::CreatedKey, root, base + L"\\K", {}, std::nullopt},
        {RecordedKind::Value, root, base + L"\\K", L"V", std::nullopt},
    };
    EXPECT_EQ(point.Targets(), expected);
}

INSTANTIATE_TEST_SUITE_P(Registries, RestorePointTest, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

// What `reg import` reads: the header comments, the created keys as
// comments, a section per key with the values as they were, absent ones as
// "Name"=-.
TEST(RestorePointFile, IsTheRegistryFileFormThatRegImportReads) {
    RestorePoint point({
        {RecordedKind::CreatedKey, RegistryRoot::Users, L"S-1-5-21-1\\Software\\New", {}, {}},
        {RecordedKind::Value, RegistryRoot::Users, L"S-1-5-21-1\\Software\\New", L"NoRun", {}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"Shell",
         RegistryValue{kRegSz, {'e', 0, 'x', 0, 0, 0}}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"",
         RegistryValue{kRegDword, {10, 0, 0, 0}}},
        {RecordedKind::ExistingKey, RegistryRoot::LocalMachine, L"SOFTWARE\\P\\Empty", {}, {}},
    });
    point.SetHeader({L"Station PC-1, account kiosk"});
    point.RecordAdministrators({L"PC-1\\kiosk", false});
    const std::wstring expected =
        L"Windows Registry Editor Version 5.00\r\n"
        L"; Station PC-1, account kiosk\r\n"
        L"; administrators: PC-1\\kiosk was not a member\r\n"
        L"\r\n"
        L"; created: HKEY_USERS\\S-1-5-21-1\\Software\\New\r\n"
        L"\r\n"
        L"[HKEY_USERS\\S-1-5-21-1\\Software\\New]\r\n"
        L"\"NoRun\"=-\r\n"
        L"\r\n"
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\P]\r\n"
        L"\"Shell\"=\"ex\"\r\n"
        L"@=dword:0000000a\r\n"
        L"\r\n"
        L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\P\\Empty]\r\n";
    std::string bytes = "\xFF\xFE";
    for (const wchar_t c : expected) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(WriteRegFile(ToRegFile(point)), bytes);
}

TEST(RestorePointFile, SavedAndLoadedOrRefusedWhenDamaged) {
    test::TempFolder folder;
    const auto file = folder.Path() / kRestorePointFileName;
    EXPECT_EQ(LoadRestorePoint(file), std::nullopt);

    RestorePoint point({
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"V", {}},
    });
    point.SetHeader({L"header", L"Account: kiosk"});
    point.RecordAdministrators({L"DOMAIN\\kiosk was a member", true});
    SaveRestorePoint(file, point);
    const auto loaded = LoadRestorePoint(file);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Header(), point.Header());
    EXPECT_EQ(loaded->Administrators(), point.Administrators());
    const std::vector<RecordedTarget> expected = {
        {RecordedKind::ExistingKey, RegistryRoot::LocalMachine, L"SOFTWARE\\P", {}, {}},
        {RecordedKind::Value, RegistryRoot::LocalMachine, L"SOFTWARE\\P", L"V", {}},
    };
    EXPECT_EQ(loaded->Targets(), expected);

    const std::string damaged = ReadWholeFile(file).substr(0, 41);  // the header cut short
    ReplaceFileContents(file, damaged);
    EXPECT_THROW(LoadRestorePoint(file), Error);
    EXPECT_EQ(ReadWholeFile(file), damaged);

    const struct {
        const char* name;
        const wchar_t* text;
    } refused[] = {
        {"a deleted key", L"Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_USERS\\S\\X]\r\n"},
        {"another root",
         L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"A\"=-\r\n"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.name);
        std::string text;
        for (const wchar_t* c = row.text; *c != 0; ++c) {
            text += static_cast<char>(*c);
        }
        ReplaceFileContents(file, text);
        EXPECT_THROW(LoadRestorePoint(file), Error);
    }
}

}  // namespace
}  // namespace quarn
