// A station's restore from its restore point file: the registry back as it
// was, with each account's hive reached under whatever name it has now;
// Lock Down off; the Administrators group as it was; the file put aside
// under a dated name only when everything went back.

#include "system/station_restore.h"

#include <gtest/gtest.h>

#include "support/registry_snapshot.h"
#include "support/station_restore_fake.h"
#include "support/temp_folder.h"
#include "system/auto_logon.h"
#include "system/file_io.h"
#include "system/memory_registry.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/value_data.h"

namespace quarn {
namespace {

const std::wstring kSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
const std::wstring kOtherSid = L"S-1-5-21-1004336348-1177238915-682003330-1002";
constexpr wchar_t kPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

std::vector<std::uint8_t> Dword(std::uint32_t value) {
    const auto bytes = DwordValueData(value);
    return {bytes.begin(), bytes.end()};
}

class StationRestoreTest : public ::testing::Test {
  protected:
    StationRestoreTest() {
        registry_.LoadHive(kSid);
        registry_.LoadHive(kOtherSid);
        // The station's own settings: one value the lock changes, one it deletes.
        test::WriteRaw(registry_, RegistryRoot::Users, kSid + L"\\" + kPolicies, L"NoRun", kRegSz,
                       StringValueData(L"own"));
        test::WriteRaw(registry_, RegistryRoot::LocalMachine, L"SOFTWARE\\Station", L"Keep",
                       kRegBinary, {1, 2, 3});
        WriteSetting(L"CompleteLockDown", L"false", registry_);
        before_ = Everything();
    }

    std::vector<test::Snapshot> Everything() {
        return {test::Take(registry_, RegistryRoot::LocalMachine, L"SOFTWARE"),
                test::Take(registry_, RegistryRoot::Users, kSid),
                test::Take(registry_, RegistryRoot::Users, kOtherSid)};
    }

    // What a lock does, recorded first as the programs record it.
    void Lock(bool withAdministrators) {
        RecordBeforeChange(File(), {L"PC-1", L"kiosk", kSid, L"2026-12-10 09:00:00"},
                           [&](RestorePoint& point) {
                               point.RecordValue(registry_, RegistryRoot::Users,
                                                 kSid + L"\\" + kPolicies, L"NoRun");
                               point.RecordValue(registry_, RegistryRoot::Users,
                                                 kOtherSid + L"\\Software\\Quarn\\New", L"A");
                               point.RecordValue(registry_, RegistryRoot::LocalMachine,
                                                 L"SOFTWARE\\Station", L"Keep");
                               if (withAdministrators) {
                                   point.RecordAdministrators({L"PC-1\\kiosk", false});
                               }
                           });
        test::WriteRaw(registry_, RegistryRoot::Users, kSid + L"\\" + kPolicies, L"NoRun",
                       kRegDword, Dword(1));
        test::WriteRaw(registry_, RegistryRoot::Users, kOtherSid + L"\\Software\\Quarn\\New", L"A",
                       kRegDword, Dword(1));
        KeyHandle key{};
        ASSERT_EQ(registry_.OpenKey(registry_.Root(RegistryRoot::LocalMachine),
                                    L"SOFTWARE\\Station", kKeyAllAccess, key),
                  kErrorSuccess);
        const OwnedKey owner(registry_, key);
        ASSERT_EQ(registry_.DeleteValue(key, L"Keep"), kErrorSuccess);
        WriteCompleteLockDown(true, registry_);
    }

    std::filesystem::path File() const { return folder_.Path() / kRestorePointFileName; }

    test::TempFolder folder_;
    MemoryRegistry registry_;
    test::RecordingStationRestore platform_;
    std::vector<test::Snapshot> before_;
};

TEST_F(StationRestoreTest, BringsEverythingBackAndPutsTheRestorePointAside) {
    Lock(true);
    const StationRestoreOutcome outcome =
        RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(Everything(), before_);  // "CompleteLockDown" is "false" again too
    EXPECT_TRUE(outcome.lockDownSwitchedOff);
    // Each hive once, in the order the file names them, released before the
    // group changes.
    EXPECT_EQ(platform_.calls, (std::vector<std::string>{"reach " + Utf16ToUtf8(kOtherSid),
                                                         "reach " + Utf16ToUtf8(kSid), "release",
                                                         "remove PC-1\\kiosk"}));
    EXPECT_FALSE(FileExists(File()));
    EXPECT_EQ(outcome.keptAs, folder_.Path() / "quarn-restore-2026-12-11.reg");
    EXPECT_TRUE(FileExists(outcome.keptAs));

    // The next lock records afresh; its restore is kept beside the first.
    Lock(false);
    const StationRestoreOutcome second =
        RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
    EXPECT_EQ(Everything(), before_);
    EXPECT_EQ(second.keptAs, folder_.Path() / "quarn-restore-2026-12-11-2.reg");
    EXPECT_THROW(RestoreStation(File(), registry_, platform_, false, L"2026-12-11"), Error);
}

TEST_F(StationRestoreTest, AHiveLoadedUnderAnotherNameIsRestoredThere) {
    Lock(false);
    // The account logged off: its hive is reached as a loaded copy.
    const std::wstring loadedAs = L"QUARN-" + kSid;
    const test::Snapshot locked = test::Take(registry_, RegistryRoot::Users, kSid);
    registry_.UnloadHive(kSid);
    registry_.LoadHive(loadedAs);
    for (const auto& [path, value] : locked.values) {
        test::WriteRaw(registry_, RegistryRoot::Users, loadedAs + path.first.substr(kSid.size()),
                       path.second, value.first, value.second);
    }
    platform_.hiveNames[kSid] = loadedAs;

    const StationRestoreOutcome outcome =
        RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
    EXPECT_TRUE(outcome.Complete());
    KeyHandle key{};
    ASSERT_EQ(registry_.OpenKey(registry_.Root(RegistryRoot::Users), loadedAs + L"\\" + kPolicies,
                                kKeyRead, key),
              kErrorSuccess);
    const OwnedKey owner(registry_, key);
    RegistryValue value;
    ASSERT_EQ(registry_.QueryValue(key, L"NoRun", value), kErrorSuccess);
    EXPECT_EQ(value, (RegistryValue{kRegSz, StringValueData(L"own")}));
    // What the restore reports names the account's SID, not the copy's name.
    for (const RestoreStep& step : outcome.registry.steps) {
        EXPECT_EQ(step.target.keyPath.find(L"QUARN-"), std::wstring::npos)
            << Utf16ToUtf8(step.target.keyPath);
    }
}

TEST_F(StationRestoreTest, WhatCannotGoBackLeavesTheRestorePointForALaterTry) {
    const struct {
        const char* name;
        bool hiveUnreachable;
        long administratorsStatus;
    } cases[] = {
        {"an account's hive cannot be reached", true, 0},
        {"the Administrators group refuses", false, 5},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Lock(true);
        platform_.unreachable.clear();
        if (row.hiveUnreachable) {
            platform_.unreachable.insert(kOtherSid);
        }
        platform_.administratorsStatus = row.administratorsStatus;
        const StationRestoreOutcome outcome =
            RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
        EXPECT_FALSE(outcome.Complete());
        EXPECT_TRUE(FileExists(File()));
        EXPECT_TRUE(outcome.keptAs.empty());
        // The rest went back all the same.
        EXPECT_EQ(test::Take(registry_, RegistryRoot::Users, kSid), before_[1]);
        EXPECT_EQ(test::Take(registry_, RegistryRoot::Users, kOtherSid) == before_[2],
                  !row.hiveUnreachable);
        EXPECT_NE(DescribeRestore(outcome, false).find("The restore point stays"),
                  std::string::npos);
        // Once it can, a later restore finishes the job.
        platform_.unreachable.clear();
        platform_.administratorsStatus = 0;
        EXPECT_TRUE(RestoreStation(File(), registry_, platform_, false, L"x").Complete());
        EXPECT_EQ(Everything(), before_);
        std::filesystem::remove(folder_.Path() / "quarn-restore-x.reg");
    }
}

TEST_F(StationRestoreTest, ADryRunListsTheChangesAndMakesNone) {
    Lock(true);
    const std::vector<test::Snapshot> locked = Everything();
    const std::string file = ReadWholeFile(File());
    const StationRestoreOutcome outcome =
        RestoreStation(File(), registry_, platform_, true, L"2026-12-11");
    EXPECT_EQ(Everything(), locked);
    EXPECT_EQ(ReadWholeFile(File()), file);
    EXPECT_EQ(platform_.calls.back(), "release");  // no group change
    std::vector<std::string> steps;
    for (const RestoreStep& step : outcome.registry.steps) {
        steps.push_back(DescribeStep(step));
    }
    const std::string user = "HKEY_USERS\\" + Utf16ToUtf8(kSid) + "\\" + Utf16ToUtf8(kPolicies);
    const std::string other = "HKEY_USERS\\" + Utf16ToUtf8(kOtherSid) + "\\Software\\Quarn";
    const std::string otherSoftware = "HKEY_USERS\\" + Utf16ToUtf8(kOtherSid) + "\\Software";
    EXPECT_EQ(steps, (std::vector<std::string>{
                         "set back      " + user + " \"NoRun\" = REG_SZ \"own\"",
                         "delete        " + other + "\\New \"A\"",
                         "set back      HKEY_LOCAL_MACHINE\\SOFTWARE\\Station \"Keep\" = "
                         "REG_BINARY 01 02 03",
                         "remove        " + other + "\\New",
                         "remove        " + other,
                         "remove        " + otherSoftware,
                     }));
    EXPECT_EQ(DescribeRestore(outcome, true),
              "Would be restored: 2 values set back, 1 value deleted, 0 keys created again, 3 "
              "keys removed.\n"
              "Lock Down would be switched off.\n"
              "PC-1\\kiosk would be no member of the Administrators group.\n");
}

TEST_F(StationRestoreTest, ADamagedOrMissingRestorePointIsRefusedAndKept) {
    try {
        RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
        ADD_FAILURE() << "no restore point, yet a restore";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), kNoRestorePoint);
    }
    Lock(false);
    const std::string damaged = ReadWholeFile(File()).substr(0, 60);
    ReplaceFileContents(File(), damaged);
    EXPECT_THROW(RestoreStation(File(), registry_, platform_, false, L"2026-12-11"), Error);
    EXPECT_EQ(ReadWholeFile(File()), damaged);
}

// A pass that would change the station records first; a restore point that
// is damaged or cannot be written stops it, and stays as it was.
TEST_F(StationRestoreTest, RecordingBeforeAChangeKeepsWhatWasRecordedFirst) {
    const RestorePointOrigin origin{L"PC-1", L"kiosk", kSid, L"2026-12-10 09:00:00"};
    const auto recordNoRun = [&](RestorePoint& point) {
        point.RecordValue(registry_, RegistryRoot::Users, kSid + L"\\" + kPolicies, L"NoRun");
    };
    RecordBeforeChange(File(), origin, recordNoRun);
    test::WriteRaw(registry_, RegistryRoot::Users, kSid + L"\\" + kPolicies, L"NoRun", kRegDword,
                   Dword(1));
    const std::string first = ReadWholeFile(File());
    RecordBeforeChange(File(), {L"PC-2", L"other", kSid, L"later"}, recordNoRun);
    EXPECT_EQ(ReadWholeFile(File()), first);  // nothing new, nothing written
    const std::optional<RestorePoint> point = LoadRestorePoint(File());
    ASSERT_TRUE(point);
    EXPECT_EQ(point->Header(), RestorePointHeader(origin));
    // The key's section, and the value as it was before the first change.
    ASSERT_EQ(point->Targets().size(), 2u);
    EXPECT_EQ(point->Targets()[1].prior, (RegistryValue{kRegSz, StringValueData(L"own")}));

    ReplaceFileContents(File(), first.substr(0, 50));
    EXPECT_THROW(RecordBeforeChange(File(), origin, recordNoRun), RestorePointError);
    EXPECT_EQ(ReadWholeFile(File()), first.substr(0, 50));
    EXPECT_THROW(
        RecordBeforeChange(folder_.Path() / "missing" / kRestorePointFileName, origin, recordNoRun),
        RestorePointError);
}

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

// A station locked by a release that kept no restore point has the locked
// account's automatic logon from then; a restore switches it off. One the
// restore point recorded gets its recorded state instead, whatever it is.
TEST_F(StationRestoreTest, TheLockedAccountsAutomaticLogonGoesUnlessItWasRecorded) {
    WriteSetting(L"QUARN-Username", L"kiosk", registry_);
    const struct {
        const char* name;
        bool recorded;
        const wchar_t* user;
        bool switchedOff;
    } cases[] = {
        {"not recorded, the locked account", false, L"Kiosk", true},
        {"not recorded, another account", false, L"admin", false},
        {"recorded", true, L"Kiosk", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        if (row.recorded) {
            WriteAutoLogon(true, row.user, L"pw", registry_);  // the station's own, recorded
        }
        RecordBeforeChange(File(), {}, [&](RestorePoint& point) {
            point.RecordValue(registry_, RegistryRoot::LocalMachine, L"SOFTWARE\\Station", L"X");
            if (row.recorded) {
                RecordAutoLogonChange(point, registry_);
            }
        });
        if (!row.recorded) {
            WriteAutoLogon(true, row.user, L"pw", registry_);
        }
        const StationRestoreOutcome outcome =
            RestoreStation(File(), registry_, platform_, false, L"2026-12-11");
        EXPECT_EQ(outcome.autoLogonSwitchedOff, row.switchedOff);
        EXPECT_EQ(ReadAutoLogonOn(registry_), !row.switchedOff);
        EXPECT_EQ(DescribeRestore(outcome, false).find("Auto Logon is switched off.") !=
                      std::string::npos,
                  row.switchedOff);
        WriteAutoLogon(false, L"", L"", registry_);
        std::filesystem::remove(outcome.keptAs);
    }
}

}  // namespace
}  // namespace quarn
