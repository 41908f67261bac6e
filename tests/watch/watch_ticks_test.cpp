// The two timers' work against a recording stand-in for Windows and the
// in-memory registry.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "memory_registry.h"
#include "registry_access.h"
#include "registry_backends.h"
#include "settings.h"
#include "watch_ticks.h"

namespace quarn {
namespace {

struct Launch {
    std::wstring application;
    std::wstring commandLine;
    std::wstring workingDirectory;
    bool operator==(const Launch&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Launch& launch) {
    const auto narrow = [](const std::wstring& text) {
        return std::string(text.begin(), text.end());
    };
    return out << "[" << narrow(launch.application) << "|" << narrow(launch.commandLine) << "|"
               << narrow(launch.workingDirectory) << "]";
}

class RecordingStation final : public StationPlatform {
  public:
    VersionClass versionClass = kVistaOrLater;
    std::set<std::wstring> running;  // lower-case file names
    bool shellOpens = true;
    std::vector<Launch> launches;

    VersionClass WindowsVersionClass() override { return versionClass; }
    bool IsProgramRunning(std::wstring_view name) override {
        std::wstring lower(name);
        for (wchar_t& c : lower) {
            c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
        }
        return running.count(lower) != 0;
    }
    bool ShellProcessOpens() override { return shellOpens; }
    bool LaunchInUserSession(const std::wstring& application, const std::wstring& commandLine,
                             const std::wstring& workingDirectory) override {
        launches.push_back({application, commandLine, workingDirectory});
        return true;
    }
    std::map<std::wstring, std::wstring> ini;  // quarn.ini's section "Update"
    std::wstring remoteRelease;
    int fetches = 0;
    std::wstring ReadUpdateSetting(const std::wstring& key, const std::wstring& fallback) override {
        const auto it = ini.find(key);
        return it == ini.end() ? fallback : it->second;
    }
    void WriteUpdateSetting(const std::wstring& key, const std::wstring& value) override {
        ini[key] = value;
    }
    std::wstring FetchRemoteRelease() override {
        ++fetches;
        return remoteRelease;
    }
};

class WatchTicks : public ::testing::Test {
  public:
    void Setting(const wchar_t* name, const wchar_t* text) { WriteSetting(name, text, registry_); }
    void LastUser(const wchar_t* user) {
        RegistryAccess access(kKeyAllAccess, registry_);
        access.SetRootKey(RegistryRoot::LocalMachine);
        access.OpenKey(L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI",
                       true);
        access.WriteString(L"LastLoggedOnSAMUser", user);
    }
    void Configure() {
        Setting(L"QUARN-Username", L"Quarn");
        LastUser(L"KIOSK-7\\quarn");
        Setting(L"QUARN-DIR", L"C:\\QUARN");
        Setting(L"Program", L"C:\\Apps\\browser.exe");
        Setting(L"ProgramParameter", L"-K start");
    }

    MemoryRegistry registry_;
    RecordingStation station_;
};

TEST_F(WatchTicks, UserCheckSwitchesTheWatchdogTimer) {
    struct Row {
        const char* name;
        const wchar_t* account;
        const wchar_t* lastUser;
        bool shellOpens;
        TimerSwitch expected;
    };
    const Row rows[] = {
        {"account at the station, shell runs", L"Quarn", L"PC\\quarn", true, TimerSwitch::On},
        {"account at the station, no shell", L"quarn", L"quarn", false, TimerSwitch::Keep},
        {"another user", L"quarn", L"PC\\visitor", true, TimerSwitch::Off},
        {"an umlaut keeps its case", L"K\u00FCche", L"k\u00DCche", true, TimerSwitch::Off},
        {"unconfigured station", L"", L"", true, TimerSwitch::Off},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Setting(L"QUARN-Username", row.account);
        LastUser(row.lastUser);
        station_.shellOpens = row.shellOpens;
        EXPECT_EQ(CheckStationUser(station_, registry_), row.expected);
    }
}

TEST_F(WatchTicks, StartsWhatIsMissingWithTheLaunchersArguments) {
    Configure();
    KeepProgramsRunning(station_, registry_);
    EXPECT_EQ(station_.launches,
              (std::vector<Launch>{{L"C:\\QUARN\\watchdog.exe", L" ", L"C:\\QUARN"},
                                   {L"C:\\Apps\\browser.exe", L" -K start", L"C:\\Apps\\"}}));
}

TEST_F(WatchTicks, WhatRunsOrIsHeldBackIsNotStarted) {
    struct Row {
        const char* name;
        std::function<void(WatchTicks&)> arrange;
        std::vector<std::wstring> started;  // application paths
    };
    const std::vector<Row> rows = {
        {"both run",
         [](WatchTicks& t) {
             t.station_.running = {L"watchdog.exe", L"browser.exe"};
         },
         {}},
        {"application of another user runs",
         [](WatchTicks& t) { t.station_.running = {L"browser.exe"}; },
         {L"C:\\QUARN\\watchdog.exe"}},
        {"dummy.exe runs", [](WatchTicks& t) { t.station_.running = {L"dummy.exe"}; }, {}},
        {"Lock Down on", [](WatchTicks& t) { t.Setting(L"CompleteLockDown", L"true"); }, {}},
        {"Lock Down True is not true",
         [](WatchTicks& t) { t.Setting(L"CompleteLockDown", L"True"); },
         {L"C:\\QUARN\\watchdog.exe", L"C:\\Apps\\browser.exe"}},
        {"another user at the station", [](WatchTicks& t) { t.LastUser(L"PC\\visitor"); }, {}},
        {"Windows XP reads the older user source, here empty",
         [](WatchTicks& t) {
             t.station_.versionClass = 7;
             t.LastUser(L"");
         },
         {}},
        {"no application",
         [](WatchTicks& t) { t.Setting(L"Program", L""); },
         {L"C:\\QUARN\\watchdog.exe"}},
        {"application closed without a choice",
         [](WatchTicks& t) { t.Setting(L"Program", L"*.*"); },
         {L"C:\\QUARN\\watchdog.exe"}},
        {"a folder without a file",
         [](WatchTicks& t) { t.Setting(L"Program", L"C:\\Apps\\"); },
         {L"C:\\QUARN\\watchdog.exe"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Configure();
        Setting(L"CompleteLockDown", L"false");
        station_ = RecordingStation{};
        row.arrange(*this);
        KeepProgramsRunning(station_, registry_);
        std::vector<std::wstring> started;
        for (const Launch& launch : station_.launches) {
            started.push_back(launch.application);
        }
        EXPECT_EQ(started, row.started);
    }
}

TEST_F(WatchTicks, OlderWindowsStillGetsTheApplication) {
    Configure();
    station_.versionClass = 7;
    RegistryAccess access(kKeyAllAccess, registry_);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true);
    access.WriteString(L"AltDefaultUserName", L"Quarn");
    KeepProgramsRunning(station_, registry_);
    EXPECT_EQ(station_.launches,
              (std::vector<Launch>{{L"C:\\Apps\\browser.exe", L" -K start", L"C:\\Apps\\"}}));
}

TEST_F(WatchTicks, TheProgramPathAndItsParameter) {
    struct Row {
        const wchar_t* program;
        const wchar_t* parameter;
        Launch expected;
    };
    const Row rows[] = {
        {L"C:\\Apps\\browser.exe", L"", {L"C:\\Apps\\browser.exe", L" ", L"C:\\Apps\\"}},
        {L"browser.exe", L"-x", {L"browser.exe", L" -x", L""}},
        {L"D:tool.exe", L"a b", {L"D:tool.exe", L" a b", L"D:"}},
        {L"\\\\server\\share\\kiosk.exe",
         L"",
         {L"\\\\server\\share\\kiosk.exe", L" ", L"\\\\server\\share\\"}},
    };
    for (const Row& row : rows) {
        Configure();
        Setting(L"Program", row.program);
        Setting(L"ProgramParameter", row.parameter);
        station_ = RecordingStation{};
        station_.running = {L"watchdog.exe"};
        KeepProgramsRunning(station_, registry_);
        ASSERT_EQ(station_.launches.size(), 1u);
        EXPECT_EQ(station_.launches[0], row.expected);
    }
}

TEST_F(WatchTicks, ReadErrorsThatPassOnEndTheTick) {
    Configure();
    RegistryAccess access(kKeyAllAccess | kSettingsView, registry_);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kSettingsKey, true);
    access.WriteInteger(L"CompleteLockDown", 1);
    EXPECT_THROW(KeepProgramsRunning(station_, registry_), RegistryError);
    EXPECT_TRUE(station_.launches.empty());
}

TEST_F(WatchTicks, TheReleaseStepAfterAnUpdate) {
    struct Row {
        const char* name;
        std::optional<std::wstring> release;  // "QUARN-Release", or missing
        std::optional<std::wstring> actual;   // "ActualRelease", or missing
        std::wstring remote;
        bool recorded;  // both hold 2539162 afterwards and version.exe was started
        int fetches;
    };
    const Row rows[] = {
        {"after an update", L"update", L"2539162", L"", true, 0},
        {"quarn.ini changed since the service started", L"update", L"2539000", L"2539162", true, 1},
        {"no quarn.ini entry", L"update", std::nullopt, L"", true, 1},
        {"this release recorded", L"2539162", L"2539162", L"", false, 0},
        {"an update accepted, not installed yet", L"", L"2539162", L"", false, 0},
        {"no value at all", std::nullopt, std::nullopt, L"", false, 0},
        {"Update in capitals is not the word", L"Update", L"2539162", L"", false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::RemoveSettingsKey(registry_);
        Setting(L"QUARN-DIR", L"C:\\QUARN");
        if (row.release) {
            Setting(L"QUARN-Release", row.release->c_str());
        }
        station_ = RecordingStation{};
        station_.remoteRelease = row.remote;
        if (row.actual) {
            station_.ini[L"ActualRelease"] = *row.actual;
        }
        RunReleaseStep(station_, registry_);
        EXPECT_EQ(station_.fetches, row.fetches);
        if (row.recorded) {
            EXPECT_EQ(ReadRelease(registry_), L"2539162");
            EXPECT_EQ(station_.ini[L"ActualRelease"], L"2539162");
            EXPECT_EQ(station_.launches,
                      (std::vector<Launch>{{L"C:\\QUARN\\version.exe", L" ", L"C:\\QUARN"}}));
            station_.launches.clear();
            RunReleaseStep(station_, registry_);  // once only
            EXPECT_TRUE(station_.launches.empty());
        } else {
            EXPECT_EQ(ReadRelease(registry_), row.release.value_or(L""));
            EXPECT_TRUE(station_.launches.empty());
        }
    }
}

}  // namespace
}  // namespace quarn
