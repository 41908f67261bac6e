// The settings key against each registry of the build (under Wine the real
// one, in the project's own prefix).

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>

#include "support/registry_backends.h"
#include "support/registry_faults.h"
#include "support/station_queries.h"
#include "system/registry_access.h"
#include "system/settings.h"

namespace quarn {
namespace {

class Settings : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        test::RemoveSettingsKey(Backend());
    }
    void TearDown() override { test::RemoveSettingsKey(Backend()); }

    RegistryBackend& Backend() { return registry_->Backend(); }

    void Put(const wchar_t* name, const wchar_t* text) { WriteSetting(name, text, Backend()); }

    void PutNumber(const wchar_t* name, std::int32_t number) {
        RegistryAccess access(kKeyAllAccess | kSettingsView, Backend());
        access.SetRootKey(RegistryRoot::LocalMachine);
        ASSERT_TRUE(access.OpenKey(kSettingsKey, true));
        access.WriteInteger(name, number);
    }

    std::unique_ptr<test::RegistryUnderTest> registry_;
};

struct Reader {
    const char* name;
    const wchar_t* value;
    std::function<std::wstring(RegistryBackend&)> read;
    bool swallows;
};

const std::vector<Reader>& Readers() {
    static const std::vector<Reader> readers = {
        {"ReadAccountName", L"QUARN-Username", [](auto& r) { return ReadAccountName(r); }, true},
        {"ReadPanelPassword", L"PanelPassword", [](auto& r) { return ReadPanelPassword(r); },
         false},
        {"ReadPasswordDigest", L"Password", [](auto& r) { return ReadPasswordDigest(r); }, true},
        {"ReadInstallDir", L"QUARN-DIR", [](auto& r) { return ReadInstallDir(r); }, true},
        {"ReadProgram", L"Program", [](auto& r) { return ReadProgram(r); }, true},
        {"ReadProgramParameter", L"ProgramParameter",
         [](auto& r) { return ReadProgramParameter(r); }, true},
        {"ReadCompleteLockDown", L"CompleteLockDown",
         [](auto& r) { return ReadCompleteLockDown(r); }, false},
        {"ReadRelease", L"QUARN-Release", [](auto& r) { return ReadRelease(r); }, false},
        {"ReadQuarnFlag", L"quarn", [](auto& r) { return ReadQuarnFlag(r); }, true},
    };
    return readers;
}

TEST_P(Settings, WithoutTheKeyEveryReaderGivesEmptyText) {
    for (const Reader& reader : Readers()) {
        SCOPED_TRACE(reader.name);
        EXPECT_EQ(reader.read(Backend()), L"");
    }
}

TEST_P(Settings, ReadersGiveTheStoredTextAsItStands) {
    for (const Reader& reader : Readers()) {
        SCOPED_TRACE(reader.name);
        Put(reader.value, L" Stored Text ");
        const bool lowered = std::string(reader.name) == "ReadAccountName";
        EXPECT_EQ(reader.read(Backend()), lowered ? L" stored text " : L" Stored Text ");
    }
}

TEST_P(Settings, AccountNameLowersOnlyTheLettersAToZ) {
    Put(L"QUARN-Username", L"QUARN \u00C4\u00D6 K\u00FCche 42");
    EXPECT_EQ(ReadAccountName(Backend()), L"quarn \u00C4\u00D6 k\u00FCche 42");
}

TEST_P(Settings, NonTextValuesAreSwallowedOrPassedOnAsEachReaderSays) {
    for (const Reader& reader : Readers()) {
        SCOPED_TRACE(reader.name);
        PutNumber(reader.value, 7);
        if (reader.swallows) {
            EXPECT_EQ(reader.read(Backend()), L"");
        } else {
            try {
                reader.read(Backend());
                ADD_FAILURE() << "nothing raised";
            } catch (const RegistryError& error) {
                EXPECT_EQ(error.what(),
                          "Ungültiger Datentyp für '" +
                              std::string(reader.value, reader.value + wcslen(reader.value)) + "'");
            }
        }
    }
}

TEST_P(Settings, FirstRunDefaultsOverAConfiguredStation) {
    Put(L"Program", L"C:\\Kiosk\\kiosk.exe");
    Put(L"QUARN-Username", L"Besucher");
    Put(L"PanelPassword", L"geheim");
    Put(L"CompleteLockDown", L"true");
    Put(L"Password", L"459DD5FDF19B9F95081752A93AB14C05");
    WriteFirstRunDefaults(L"C:\\Program Files (x86)", L"C:\\QUARN", Backend());

    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"Password", L""},
        {L"Program", L"C:\\Program Files (x86)\\Internet Explorer\\iexplore.exe"},
        {L"ProgramParameter", L"-K https://www.morvil.example/"},
        {L"ProgramDirectory1", L""},
        {L"QUARN-Username", L"quarn"},
        {L"QUARN-DIR", L"C:\\QUARN"},
        {L"UserPolicies", L"true"},
        {L"QUARN-Release", L"2539162"},
        {L"beep", L"1"},
        {L"PanelPassword", L"geheim"},
        {L"CompleteLockDown", L"true"},
    };
    for (const auto& [name, text] : expected) {
        EXPECT_EQ(ReadSetting(name, Backend()), text) << std::string(name, name + wcslen(name));
    }
}

TEST_P(Settings, AFailedDefaultStopsTheSequenceWhereItHappens) {
    test::RefusingWrites refusing(Backend(),
                                  4);  // Password, Program, ProgramParameter, ProgramDirectory1
    EXPECT_THROW(WriteFirstRunDefaults(L"C:\\Program Files", L"C:\\QUARN", refusing),
                 RegistryError);
    EXPECT_EQ(ReadProgram(Backend()), L"C:\\Program Files\\Internet Explorer\\iexplore.exe");
    EXPECT_EQ(ReadSetting(L"ProgramDirectory1", Backend()), L"");
    EXPECT_EQ(ReadAccountName(Backend()), L"");  // QUARN-Username was refused
    EXPECT_EQ(ReadRelease(Backend()), L"");
}

TEST_P(Settings, TheFlagNeverFailsAndDigestWritesPassFailuresOn) {
    SetQuarnFlag(Backend());
    EXPECT_EQ(ReadQuarnFlag(Backend()), L"1");
    ClearQuarnFlag(Backend());
    EXPECT_EQ(ReadQuarnFlag(Backend()), L"0");

    test::RefusingWrites refusing(Backend(), 0);
    EXPECT_NO_THROW(SetQuarnFlag(refusing));
    EXPECT_NO_THROW(ClearQuarnFlag(refusing));
    EXPECT_EQ(refusing.Writes(), 2);
    EXPECT_THROW(WritePasswordDigest(L"00", refusing), RegistryError);
}

TEST_P(Settings, CompleteLockDownNeedsTheSettingsKey) {
    EXPECT_THROW(WriteCompleteLockDown(true, Backend()), RegistryError);
    SetQuarnFlag(Backend());  // creates the key
    WriteCompleteLockDown(true, Backend());
    EXPECT_EQ(ReadCompleteLockDown(Backend()), L"true");
    WriteCompleteLockDown(false, Backend());
    EXPECT_EQ(ReadCompleteLockDown(Backend()), L"false");
}

TEST_P(Settings, TheKeyLiesInTheThirtyTwoBitView) {
    SetQuarnFlag(Backend());
    RegistryAccess plain(kKeyRead, Backend());
    plain.SetRootKey(RegistryRoot::LocalMachine);
    EXPECT_FALSE(plain.OpenKey(kSettingsKey, false));
    ASSERT_TRUE(plain.OpenKey(L"\\Software\\WOW6432Node\\MORVIL\\QUARN", false));
    EXPECT_EQ(plain.ReadString(L"quarn"), L"1");
}

INSTANTIATE_TEST_SUITE_P(Registries, Settings, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
