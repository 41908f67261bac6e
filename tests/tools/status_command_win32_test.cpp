// quarnctl status under Wine, with the Wine user as the locked-down account:
// what it says of a station whose registry holds quarn.xml's rows, and of
// one where a hand changed a value since.

#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/catalogue_pass.h"
#include "catalogue/policy_table.h"
#include "support/registry_snapshot.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "support/temp_folder.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/settings.h"
#include "system/value_data.h"
#include "tools/quarnctl/status_command_win32.h"

namespace quarn {
namespace {

constexpr wchar_t kUserKey[] = L"Software\\QuarnStatusTest";
constexpr wchar_t kMachineKey[] = L"SOFTWARE\\QuarnStatusTest";

class StatusCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::RemoveSettingsKey();
        WriteSetting(L"QUARN-Username", test::CurrentUserName());
        PolicyTable table;
        table.CreateDataSet();
        table.AppendRow({10, "HKCU\\Software\\QuarnStatusTest", "NoRun", "1", "REG_DWORD", "W10",
                         "aktiviert", ""});
        table.AppendRow({20, "HKLM\\SOFTWARE\\QuarnStatusTest", "Mode", "on", "REG_SZ", "W10",
                         "aktiviert", ""});
        table.AppendRow({30, "HKLM\\SOFTWARE\\QuarnStatusTest", "Off", "1", "REG_DWORD", "W10",
                         "deaktiviert", ""});
        table.SaveToFile(folder_ / kLockCatalogueFileName);
        test::WriteRaw(DefaultRegistry(), RegistryRoot::Users, sid_ + L"\\" + kUserKey, L"NoRun",
                       kRegDword, {1, 0, 0, 0});
        test::WriteRaw(DefaultRegistry(), RegistryRoot::LocalMachine, kMachineKey, L"Mode", kRegSz,
                       StringValueData(L"on"));
    }
    void TearDown() override {
        test::RemoveSettingsKey();
        DefaultRegistry().DeleteKey(DefaultRegistry().Root(RegistryRoot::Users),
                                    sid_ + L"\\" + kUserKey, 0);
        DefaultRegistry().DeleteKey(DefaultRegistry().Root(RegistryRoot::LocalMachine), kMachineKey,
                                    0);
    }

    std::pair<int, std::string> Status(const std::vector<std::string>& args) {
        std::ostringstream out;
        const int status = StationStatus(folder_.Path(), args, out);
        return {status, out.str()};
    }

    const std::wstring sid_ = test::CurrentUserSid();
    test::TempFolder folder_;
};

TEST_F(StatusCommandTest, SaysWhatIsInForceAndNamesWhatAHandChanged) {
    const auto [clean, said] = Status({});
    EXPECT_EQ(clean, 0) << said;
    EXPECT_NE(said.find("Lock catalogue: 2 of 2 rows of quarn.xml in force, 0 differ"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Lock Down:      off"), std::string::npos) << said;
    EXPECT_NE(said.find("Restore point:  none"), std::string::npos) << said;

    test::WriteRaw(DefaultRegistry(), RegistryRoot::Users, sid_ + L"\\" + kUserKey, L"NoRun",
                   kRegDword, {0, 0, 0, 0});
    SaveRestorePoint(folder_ / kRestorePointFileName,
                     RestorePoint({{RecordedKind::Value, RegistryRoot::LocalMachine, kMachineKey,
                                    L"Mode", std::nullopt}}));
    const auto [differs, rows] = Status({"--rows"});
    EXPECT_EQ(differs, 1) << rows;
    EXPECT_NE(rows.find("1 of 2 rows of quarn.xml in force, 1 differ"), std::string::npos) << rows;
    EXPECT_NE(rows.find("10     HKCU\\Software\\QuarnStatusTest\\NoRun  REG_DWORD 1  REG_DWORD 0"),
              std::string::npos)
        << rows;
    EXPECT_NE(rows.find("Restore point:  quarn-restore.reg, 2 targets recorded"), std::string::npos)
        << rows;
}

}  // namespace
}  // namespace quarn
