// The built-in catalogues against what they are meant to hold: the counts,
// the kinds of difference between lock and unlock, the order, and the rows
// that need a word.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/datapacket.h"
#include "catalogue/value_conversion.h"

namespace quarn {
namespace {

std::vector<std::map<std::size_t, std::string>> Rows(PolicyTable& table) {
    std::vector<std::map<std::size_t, std::string>> rows;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i) {
        std::map<std::size_t, std::string> row;
        for (std::size_t column = 0; column < kPolicyColumnCount; ++column) {
            row[column] = table.GetFieldText(column);
        }
        rows.push_back(row);
        table.Next();
    }
    return rows;
}

class BuiltInCatalogues : public ::testing::Test {
  protected:
    PolicyTable lockTable_ = BuiltInLockCatalogue();
    PolicyTable unlockTable_ = BuiltInUnlockCatalogue();
    std::vector<std::map<std::size_t, std::string>> lock_ = Rows(lockTable_);
    std::vector<std::map<std::size_t, std::string>> unlock_ = Rows(unlockTable_);

    std::map<int, std::map<std::size_t, std::string>> ByIndex(
        const std::vector<std::map<std::size_t, std::string>>& rows) {
        std::map<int, std::map<std::size_t, std::string>> byIndex;
        for (const auto& row : rows) {
            byIndex[std::stoi(row.at(kColumnIndex))] = row;
        }
        return byIndex;
    }
};

TEST_F(BuiltInCatalogues, HaveTheSame371IndexNumbers) {
    EXPECT_EQ(lockTable_.RecordCount(), 371);
    EXPECT_EQ(unlockTable_.RecordCount(), 371);
    for (const auto* rows : {&lock_, &unlock_}) {
        std::vector<int> indexes;
        for (const auto& [index, row] : ByIndex(*rows)) {
            indexes.push_back(index);
        }
        ASSERT_EQ(indexes.size(), 371u);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            EXPECT_EQ(indexes[i], 5000 + 10 * static_cast<int>(i));
        }
    }
}

TEST_F(BuiltInCatalogues, WalkTheNamedRowsFirstAndTheDriveRowsLastWhenLocking) {
    std::vector<int> leading = {5000};
    for (int index = 5030; index <= 5310; index += 10) {
        leading.push_back(index);
    }
    for (int index : {5370, 5380, 5390, 5410, 5420, 6490, 7250, 8280}) {
        leading.push_back(index);
    }
    for (int index = 8320; index <= 8420; index += 10) {
        leading.push_back(index);
    }
    leading.push_back(8690);
    ASSERT_EQ(leading.size(), 50u);

    std::vector<int> unlockOrder = leading;
    for (int index = 5000; index <= 8700; index += 10) {
        if (std::find(leading.begin(), leading.end(), index) == leading.end()) {
            unlockOrder.push_back(index);
        }
    }
    std::vector<int> lockOrder;
    for (int index : unlockOrder) {
        if (index != 6550 && index != 5620) {
            lockOrder.push_back(index);
        }
    }
    lockOrder.push_back(6550);
    lockOrder.push_back(5620);

    const auto order = [](const auto& rows) {
        std::vector<int> indexes;
        for (const auto& row : rows) {
            indexes.push_back(std::stoi(row.at(kColumnIndex)));
        }
        return indexes;
    };
    EXPECT_EQ(order(lock_), lockOrder);
    EXPECT_EQ(order(unlock_), unlockOrder);
    EXPECT_EQ(lock_.front().at(kColumnIndex), "5000");
    EXPECT_EQ(lock_.back().at(kColumnIndex), "5620");
    EXPECT_EQ(unlock_.back().at(kColumnIndex), "8700");
}

TEST_F(BuiltInCatalogues, DifferOnlyInKeyValueAndOnlyIn153Rows) {
    auto lock = ByIndex(lock_);
    auto unlock = ByIndex(unlock_);
    std::map<std::pair<std::string, std::string>, std::set<int>> kinds;
    int sameZero = 0;
    int sameOne = 0;
    for (auto& [index, row] : lock) {
        const auto& other = unlock.at(index);
        for (std::size_t column = 0; column < kPolicyColumnCount; ++column) {
            if (column != kColumnKeyValue) {
                EXPECT_EQ(row[column], other.at(column)) << index << " column " << column;
            }
        }
        const std::string& lockValue = row[kColumnKeyValue];
        const std::string& unlockValue = other.at(kColumnKeyValue);
        if (lockValue != unlockValue) {
            kinds[{lockValue, unlockValue}].insert(index);
        } else if (row[kColumnDataType] == "REG_DWORD") {
            sameZero += lockValue == "0";
            sameOne += lockValue == "1";
        }
    }
    std::size_t differences = 0;
    for (const auto& [values, indexes] : kinds) {
        differences += indexes.size();
    }
    const auto kind = [&](const char* lockValue, const char* unlockValue) {
        return kinds[{lockValue, unlockValue}];
    };
    EXPECT_EQ(differences, 153u);
    EXPECT_EQ(kind("1", "0").size(), 148u);
    for (const int index : kind("1", "0")) {
        EXPECT_EQ(lock[index][kColumnDataType], "REG_DWORD") << index;
    }
    EXPECT_EQ(kind("67108863", "0"), (std::set<int>{5620, 6550}));
    EXPECT_EQ(kind("255", "95"), (std::set<int>{6170}));
    EXPECT_EQ(kind("0", "10"), (std::set<int>{6530}));
    EXPECT_EQ(kind("200", "4"), (std::set<int>{7510}));
    EXPECT_EQ(kinds.size(), 5u);
    EXPECT_EQ(sameZero, 130);
    EXPECT_EQ(sameOne, 28);
    EXPECT_EQ(TextToInteger("67108863"), 0x3FFFFFF);  // one bit per drive letter A to Z
}

TEST_F(BuiltInCatalogues, Totals) {
    std::map<std::string, int> dataTypes;
    std::map<std::string, int> statuses;
    std::map<std::string, int> hives;
    std::map<std::string, int> winVers;
    for (const auto& row : lock_) {
        ++dataTypes[row.at(kColumnDataType)];
        ++statuses[row.at(kColumnStatus)];
        ++hives[row.at(kColumnSubtree).substr(0, row.at(kColumnSubtree).find('\\'))];
        ++winVers[row.at(kColumnWinVer)];
    }
    EXPECT_EQ(dataTypes, (std::map<std::string, int>{{"REG_DWORD", 320},
                                                     {"REG_SZ", 45},
                                                     {"REG_BINARY", 4},
                                                     {"DEL_SUBKEY", 1},
                                                     {"DEL_SUBTREE", 1}}));
    EXPECT_EQ(statuses, (std::map<std::string, int>{{"aktiviert", 349}, {"deaktiviert", 22}}));
    EXPECT_EQ(hives, (std::map<std::string, int>{{"HKCU", 327}, {"HKLM", 44}}));
    EXPECT_EQ(winVers, (std::map<std::string, int>{
                           {"NT/W2K/XP/Vista/W7/W8", 117},
                           {"ab IE5", 56},
                           {"W2K/XP/Vista/W7/W8", 43},
                           {"XP/Vista/W7/W8", 42},
                           {"W2K/XP/2003", 20},
                           {"Vista/W7", 16},
                           {"XP/2003", 12},
                           {"NT/W2K/XP/Vista/W7", 10},
                           {"ab IE4", 10},
                           {"ab IE6", 8},
                           {"XP", 7},
                           {"ab IE8", 7},
                           {"ab IE7", 3},
                           {"W2k/XP/2003", 3},
                           {"Windows 8", 2},
                           {"NT/W2K/XP/2001", 2},
                           {"XP Pro/2003", 1},
                           {"IE4, IE5 ,IE5.5 ,IE6", 1},
                           {"Vista/2008/W7", 1},
                           {"ab IE8 bis IE10", 1},
                           {"NT/W2K/XP", 1},
                           {"NT/W2K", 1},
                           {"Windows", 1},
                           {"XP/Vista/W7", 1},
                           {"NT/W2K/XP/Vista/W7/W8/IE5", 1},
                           {"NT/W2K/XP/Vista/W7/W8/IE4", 1},
                           {"Vista/W7/W8", 1},
                           {"W2K/XP/2003/IE4", 1},
                           {"ab IE 4 bis IE 6", 1},
                       }));
}

TEST_F(BuiltInCatalogues, RowsThatNeedAWord) {
    auto lock = ByIndex(lock_);
    struct Expected {
        int index;
        std::string subtree;
        std::string subkey;
        std::string keyValue;
        std::string dataType;
        std::string status;
    };
    const Expected rows[] = {
        {5220, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Background", "",
         "DEL_SUBKEY", "deaktiviert"},
        {8690,
         "HKCU\\Software\\Microsoft\\Internet Explorer\\Extensions\\"
         "{c95fe080-8f5d-11d2-a20b-00aa003c157a}",
         "Alexa", "1", "DEL_SUBTREE", "deaktiviert"},
        {5240, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
         "DefaultDomainName", "", "REG_SZ", "aktiviert"},
        {5250, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "DefaultUserName",
         "morvil", "REG_SZ", "aktiviert"},
        {5260, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "DefaultPassword",
         "tozpek", "REG_SZ", "aktiviert"},
        {5270, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "AutoAdminLogon",
         "1", "REG_SZ", "aktiviert"},
        {5280, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "ForceAutoLogon",
         "0", "REG_SZ", "aktiviert"},
        {5420, "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout", "Scancode Map", "",
         "REG_BINARY", "aktiviert"},
        {5990, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
         "NoStartBanner", "", "REG_BINARY", "aktiviert"},
        {7460, "HKCU\\Software\\Microsoft\\MessengerService", "PassportBalloon", "", "REG_BINARY",
         "aktiviert"},
        {5050, "HKLM\\Software\\Policies\\Microsoft\\Windows NT\\Terminal Services",
         "MaxTicketExpiry", "", "REG_DWORD", "deaktiviert"},
        {5060, "HKLM\\Software\\Policies\\Microsoft\\Windows NT\\Terminal Services",
         "fAllowFullControl", "", "REG_DWORD", "deaktiviert"},
        {5130, "HKLM\\CurrentControlSet\\Services\\LanmanServer\\Parameters", "AutoShareServer", "",
         "REG_SZ", "deaktiviert"},
        {5150, "HKLM\\CurrentControlSet\\Services\\LanmanServer\\Parameters",
         "RestrictNullSessionAccess", "0", "REG_DWORD", "deaktiviert"},
        {5380, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\DateTime\\Servers", "@", "",
         "REG_SZ", "aktiviert"},
        {7690, "HKCU\\Control Panel\\Desktop\\", "Wallpaper",
         "C:\\Users\\quarn\\AppData\\Roaming\\Microsoft\\Windows\\T", "REG_SZ", "aktiviert"},
        {8200, "HKCU\\Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser", "ITBarLayout",
         "110000004C0000000000000030000000120000002900000005", "REG_BINARY", "aktiviert"},
        {6970, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum",
         "{85BBD92O-42A0-1O69-A2E4-08002B30309D}", "0", "REG_DWORD", "aktiviert"},
    };
    for (const Expected& expected : rows) {
        SCOPED_TRACE(expected.index);
        auto& row = lock[expected.index];
        EXPECT_EQ(row[kColumnSubtree], expected.subtree);
        EXPECT_EQ(row[kColumnSubkey], expected.subkey);
        EXPECT_EQ(row[kColumnKeyValue], expected.keyValue);
        EXPECT_EQ(row[kColumnDataType], expected.dataType);
        EXPECT_EQ(row[kColumnStatus], expected.status);
    }
    EXPECT_EQ(lock[7690][kColumnKeyValue].size(), 50u);
    EXPECT_EQ(HexTextToBytes(lock[8200][kColumnKeyValue]).size(), 25u);
    // The values this team chose: a public time server, the maker's site on a
    // reserved example domain, and the loopback host as proxy.
    EXPECT_EQ(lock[5390][kColumnKeyValue], "pool.ntp.org");
    EXPECT_EQ(lock[8270][kColumnKeyValue], "https://www.morvil.example/");
    EXPECT_EQ(lock[8290][kColumnKeyValue], "localhost");
    EXPECT_EQ(lock[8310][kColumnKeyValue], "localhost:8080");
}

TEST_F(BuiltInCatalogues, EveryRowHasADescriptionInTheCataloguesForm) {
    int withUmlauts = 0;
    for (const auto& row : lock_) {
        const std::string& text = row.at(kColumnText);
        SCOPED_TRACE(row.at(kColumnIndex));
        ASSERT_FALSE(text.empty());
        EXPECT_LE(text.size(), 4096u);
        // Line breaks are CR LF, and only that.
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                EXPECT_TRUE(i > 0 && text[i - 1] == '\r');
            }
            if (text[i] == '\r') {
                EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n');
            }
        }
        // A title line, a blank line, then the key path.
        const std::size_t title = text.find("\r\n\r\n");
        ASSERT_NE(title, std::string::npos);
        EXPECT_EQ(text.substr(title + 4, row.at(kColumnSubtree).size() + 2),
                  row.at(kColumnSubtree) + "\r\n");
        EXPECT_NE(text.find(row.at(kColumnSubkey)), std::string::npos);
        withUmlauts += text.find_first_of("\xE4\xF6\xFC\xC4\xD6\xDC\xDF") != std::string::npos;
    }
    EXPECT_GT(withUmlauts, 0);
}

TEST_F(BuiltInCatalogues, ExportHasNoHistoryAndReadsBackTheSameRows) {
    for (PolicyTable* table : {&lockTable_, &unlockTable_}) {
        const std::string file = table->SaveToBytes();
        EXPECT_EQ(file.find("RowState"), std::string::npos);
        EXPECT_EQ(file.find("CHANGE_LOG"), std::string::npos);
        EXPECT_NE(file.find("<PARAMS/>"), std::string::npos);
        PolicyTable reread;
        reread.LoadFromBytes(file);
        EXPECT_EQ(Rows(reread), Rows(*table));
        EXPECT_EQ(reread.Content().versions.size(), 371u);
    }
}

}  // namespace
}  // namespace quarn
