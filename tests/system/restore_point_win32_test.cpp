// A restore point brought back by the system's own reg.exe, which reads its
// file independently of us: after `reg import quarn-restore.reg` every
// recorded value is as it was and every deleted key is back; the keys the
// lock-down created stay, empty, as the file's comments say.

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/reg_exe_win32.h"
#include "support/registry_backends.h"
#include "support/registry_snapshot.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RestorePointWithRegExe : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring name = test::UniqueTestKeyName();
        bases_ = {{RegistryRoot::LocalMachine, L"SOFTWARE\\" + name},
                  {RegistryRoot::Users, test::CurrentUserSid() + L"\\Software\\" + name}};
    }
    void TearDown() override {
        for (const auto& [root, base] : bases_) {
            RegistryAccess cleanup(kKeyAllAccess, DefaultRegistry());
            cleanup.SetRootKey(root);
            cleanup.DeleteKey(L"\\" + base);
        }
    }

    static void WriteRaw(RegistryRoot root, const std::wstring& key, const std::wstring& name,
                         std::uint32_t type, const Bytes& data) {
        test::WriteRaw(DefaultRegistry(), root, key, name, type, data);
    }

    static RegistryAccess Access(RegistryRoot root) {
        RegistryAccess access(kKeyAllAccess, DefaultRegistry());
        access.SetRootKey(root);
        return access;
    }

    std::vector<std::pair<RegistryRoot, std::wstring>> bases_;
};

TEST_F(RestorePointWithRegExe, RegImportOfTheRestorePointGivesBackEveryValue) {
    RegistryBackend& registry = DefaultRegistry();
    const Bytes station = {'s', 0, 0, 0};
    RestorePoint point;
    std::vector<test::Snapshot> before;
    for (const auto& [root, base] : bases_) {
        // The station's own settings.
        WriteRaw(root, base + L"\\Policies", L"NoRun", kRegSz, station);
        WriteRaw(root, base + L"\\Policies", L"Theirs", kRegBinary, {1, 2, 3});
        WriteRaw(root, base + L"\\Winlogon", L"Background", kRegExpandSz, station);
        WriteRaw(root, base + L"\\Ext", L"A", kRegSz, station);
        WriteRaw(root, base + L"\\Ext\\One", L"B", kRegMultiSz, {'b', 0, 0, 0, 0, 0});
        Access(root).CreateKey(L"\\" + base + L"\\Ext\\One\\Two");
        before.push_back(test::Take(registry, root, base));

        // The lock-down: each change recorded first.
        point.RecordValue(registry, root, base + L"\\Policies", L"NoRun");
        WriteRaw(root, base + L"\\Policies", L"NoRun", kRegDword, {1, 0, 0, 0});
        point.RecordValue(registry, root, base + L"\\New\\Deeper", L"X");
        WriteRaw(root, base + L"\\New\\Deeper", L"X", kRegDword, {1, 0, 0, 0});
        point.RecordValue(registry, root, base + L"\\Winlogon", L"Background");
        auto winlogon = Access(root);
        ASSERT_TRUE(winlogon.OpenKey(L"\\" + base + L"\\Winlogon", false));
        winlogon.DeleteValue(L"Background");
        point.RecordKeyDeletion(registry, root, base + L"\\Ext");
        Access(root).DeleteKey(L"\\" + base + L"\\Ext");
        point.RecordKeyCreation(registry, root, base + L"\\Made\\Here");
        Access(root).CreateKey(L"\\" + base + L"\\Made\\Here");
    }

    test::TempFolder folder;
    const auto file = folder.Path() / kRestorePointFileName;
    point.SetHeader({L"a station under test"});
    SaveRestorePoint(file, point);
    ASSERT_EQ(test::RunReg(L"import \"" + file.wstring() + L"\""), 0u);

    std::set<std::wstring> created;
    for (const RecordedTarget& target : point.Targets()) {
        if (target.kind == RecordedKind::CreatedKey) {
            created.insert(FoldRegistryName(target.keyPath));
        }
    }
    for (std::size_t i = 0; i < bases_.size(); ++i) {
        const auto& [root, base] = bases_[i];
        SCOPED_TRACE(root == RegistryRoot::Users ? "user" : "machine");
        const test::Snapshot after = test::Take(registry, root, base);
        EXPECT_EQ(after.values, before[i].values);
        for (const std::wstring& key : before[i].keys) {
            EXPECT_TRUE(after.keys.count(key)) << "missing: " << Utf16ToUtf8(key);
        }
        for (const std::wstring& key : after.keys) {
            EXPECT_TRUE(before[i].keys.count(key) || created.count(key))
                << "not the station's and not listed as created: " << Utf16ToUtf8(key);
        }
    }
}

}  // namespace
}  // namespace quarn
