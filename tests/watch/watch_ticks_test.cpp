// The two timers' work against a recording stand-in for Windows and the
// in-memory registry.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "support/station_queries.h"
#include "system/memory_registry.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "watch/watch_ticks.h"

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
    LaunchResult launchResult{LaunchResult::Outcome::Started, L""};
    std::map<std::wstring, std::wstring> systemPath;  // bare name: full path
    std::vector<std::wstring> events;                 // "warning ..." or "error ..."

    VersionClass WindowsVersionClass() override { return versionClass; }
    bool IsProgramRunning(std::wstring_view name) override {
        return running.count(LowerAZ(name)) != 0;
    }
    bool ShellProcessOpens() override { return shellOpens; }
    LaunchResult LaunchInUserSession(const std::wstring& application,
                                     const std::wstring& commandLine,
                                     const std::wstring& workingDirectory) override {
        launches.push_back({application, commandLine, workingDirectory});
        return launchResult;
    }
    std::wstring FindOnSystemPath(const std::wstring& fileName) override {
        const auto it = systemPath.find(fileName);
        return it == systemPath.end() ? L"" : it->second;
    }
    void LogEvent(EventType type, const std::wstring& text) override {
        events.push_back((type == EventType::Error ? L"error " : L"warning ") + text);
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

    void Tick() { KeepProgramsRunning(station_, kept_, registry_); }
    // A station and a service that have seen nothing yet.
    void Fresh() {
        station_ = RecordingStation{};
        kept_ = KeptPrograms([this] { return now_; });
    }

    MemoryRegistry registry_;
    RecordingStation station_;
    RestartBackoff::Clock::time_point now_{};
    KeptPrograms kept_{[this] { return now_; }};
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
    Tick();
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
        {"the application, written with forward slashes, runs",
         [](WatchTicks& t) {
             t.Setting(L"Program", L"C:/Apps/browser.exe");
             t.station_.running = {L"watchdog.exe", L"browser.exe"};
         },
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Configure();
        Setting(L"CompleteLockDown", L"false");
        Fresh();
        row.arrange(*this);
        Tick();
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
    Tick();
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
        // A bare name is looked for on the system path.
        {L"notepad.exe",
         L"-x",
         {L"C:\\Windows\\system32\\notepad.exe", L" -x", L"C:\\Windows\\system32\\"}},
        {L"D:tool.exe", L"a b", {L"D:tool.exe", L" a b", L"D:"}},
        {L"C:/Apps/kiosk.exe", L"", {L"C:/Apps/kiosk.exe", L" ", L"C:/Apps/"}},
        {L"\\\\server\\share\\kiosk.exe",
         L"",
         {L"\\\\server\\share\\kiosk.exe", L" ", L"\\\\server\\share\\"}},
    };
    for (const Row& row : rows) {
        Configure();
        Setting(L"Program", row.program);
        Setting(L"ProgramParameter", row.parameter);
        Fresh();
        station_.running = {L"watchdog.exe"};
        station_.systemPath[L"notepad.exe"] = L"C:\\Windows\\system32\\notepad.exe";
        Tick();
        ASSERT_EQ(station_.launches.size(), 1u);
        EXPECT_EQ(station_.launches[0], row.expected);
    }
}

// What the service remembers of the programs it keeps: ticks a second apart,
// what each found, and the starts and event log entries that follow.
TEST_F(WatchTicks, QuickEndsSlowTheStartsAndFailuresAreReportedOnceAMinute) {
    using Outcome = LaunchResult::Outcome;
    struct Ticks {
        int from;  // seconds, one tick each, both included
        int to;
        bool running = false;
        Outcome outcome = Outcome::Started;
        const wchar_t* program = nullptr;  // a new "Program" from the first of these ticks
    };
    struct Row {
        const char* name;
        const wchar_t* kept;  // the program the ticks look at; the other one runs
        std::vector<Ticks> ticks;
        std::vector<std::pair<int, int>> launches;  // seconds of the ticks that tried a start
        std::vector<std::wstring> events;
    };
    const std::wstring storm =
        L" was started 5 times in 4 s and did not keep running; from now on each start waits 5 s, "
        L"then longer, up to 60 s, until it keeps running for 60 s.";
    const std::wstring browserStorm = L"warning \"C:\\Apps\\browser.exe\"" + storm;
    const std::wstring failed =
        L"error \"C:\\Apps\\browser.exe\" could not be started: CreateProcessAsUserW failed (2)";
    const std::vector<Row> rows = {
        {"an application that ends at once",
         L"browser.exe",
         {{0, 130}},
         {{0, 4}, {9, 9}, {19, 19}, {39, 39}, {79, 79}},
         {browserStorm}},
        {"an application that stays up", L"browser.exe", {{0, 0}, {1, 100, true}}, {{0, 0}}, {}},
        {"a run of a minute ends the episode",
         L"browser.exe",
         {{0, 9}, {10, 69, true}, {70, 74}},
         {{0, 4}, {9, 9}, {70, 74}},
         {browserStorm, browserStorm}},
        {"a shorter run does not",
         L"browser.exe",
         {{0, 9}, {10, 68, true}, {69, 100}},
         {{0, 4}, {9, 9}, {69, 69}, {89, 89}},
         {browserStorm}},
        {"starts spread over more than a minute",
         L"browser.exe",
         {{0, 0}, {1, 19, true}, {20, 20}, {21, 39, true}, {40, 40}, {41, 58, true}, {59, 62}},
         {{0, 0}, {20, 20}, {40, 40}, {59, 61}},
         {L"warning \"C:\\Apps\\browser.exe\" was started 5 times in 41 s and did not keep "
          L"running; from now on each start waits 5 s, then longer, up to 60 s, until it keeps "
          L"running for 60 s."}},
        {"a failed start is reported once a minute",
         L"browser.exe",
         {{0, 125, false, Outcome::Failed}},
         {{0, 125}},
         {failed, failed, failed}},
        {"a start held back is no start",
         L"browser.exe",
         {{0, 9, false, Outcome::HeldBack}, {10, 20}},
         {{0, 14}, {19, 19}},
         {L"warning \"C:\\Apps\\browser.exe\"" + storm}},
        {"another program starts over",
         L"browser.exe",
         {{0, 5}, {6, 8, false, Outcome::Started, L"C:\\Apps\\other.exe"}},
         {{0, 4}, {6, 8}},
         {browserStorm}},
        {"a bare name that is not on the system path",
         L"browser.exe",
         {{0, 61, false, Outcome::Started, L"kiosk.exe"}},
         {},
         {L"error \"kiosk.exe\" could not be started: it is not on the system path",
          L"error \"kiosk.exe\" could not be started: it is not on the system path"}},
        {"watchdog.exe that ends at once",
         L"watchdog.exe",
         {{0, 20}},
         {{0, 4}, {9, 9}, {19, 19}},
         {L"warning \"C:\\QUARN\\watchdog.exe\"" + storm}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Configure();
        Setting(L"CompleteLockDown", L"false");
        Fresh();
        const std::wstring other =
            row.kept == std::wstring(L"watchdog.exe") ? L"browser.exe" : L"watchdog.exe";
        std::vector<int> launched;
        for (const Ticks& ticks : row.ticks) {
            if (ticks.program != nullptr) {
                Setting(L"Program", ticks.program);
            }
            for (int second = ticks.from; second <= ticks.to; ++second) {
                now_ = RestartBackoff::Clock::time_point(std::chrono::seconds(second));
                station_.running = {other};
                if (ticks.running) {
                    station_.running.insert(row.kept);
                }
                station_.launchResult = {ticks.outcome, ticks.outcome == Outcome::Failed
                                                            ? L"CreateProcessAsUserW failed (2)"
                                                            : L""};
                const std::size_t before = station_.launches.size();
                Tick();
                if (station_.launches.size() > before) {
                    launched.push_back(second);
                }
            }
        }
        std::vector<int> expected;
        for (const auto& [from, to] : row.launches) {
            for (int second = from; second <= to; ++second) {
                expected.push_back(second);
            }
        }
        EXPECT_EQ(launched, expected);
        EXPECT_EQ(station_.events, row.events);
    }
}

TEST_F(WatchTicks, ReadErrorsThatPassOnEndTheTick) {
    Configure();
    RegistryAccess access(kKeyAllAccess | kSettingsView, registry_);
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kSettingsKey, true);
    access.WriteInteger(L"CompleteLockDown", 1);
    EXPECT_THROW(Tick(), RegistryError);
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
