#pragma once

// The work of the service's two timers, portable: the user check of
// LogTimer and the watchdog tick of RegisteredTimer. What they ask of Windows
// comes through StationPlatform; the registry through RegistryBackend. Every
// tick reads the settings afresh, so a change in the configurator takes
// effect at the next tick. What the service remembers between ticks is how
// the programs it keeps running have fared (KeptPrograms).

#include <optional>
#include <string>

#include "system/event_log_win32.h"
#include "system/registry_backend.h"
#include "system/restart_backoff.h"
#include "system/system_queries.h"

namespace quarn {

struct LaunchResult {
    enum class Outcome { Started, HeldBack, Failed };
    Outcome outcome = Outcome::Failed;
    // When it failed: the call that failed and the system's text for its code.
    std::wstring failure;
};

class StationPlatform {
  public:
    virtual ~StationPlatform() = default;
    virtual VersionClass WindowsVersionClass() = 0;
    virtual bool IsProgramRunning(std::wstring_view name) = 0;
    // Whether the machine's shell process could be opened (the handle is
    // closed at once).
    virtual bool ShellProcessOpens() = 0;
    virtual LaunchResult LaunchInUserSession(const std::wstring& application,
                                             const std::wstring& commandLine,
                                             const std::wstring& workingDirectory) = 0;
    // The full path of a bare file name on the system's search path; empty
    // when it is not there.
    virtual std::wstring FindOnSystemPath(const std::wstring& fileName) = 0;
    // An entry in the application event log, source "watch.exe".
    virtual void LogEvent(EventType type, const std::wstring& text) = 0;
    // quarn.ini beside the service, section "Update".
    virtual std::wstring ReadUpdateSetting(const std::wstring& key,
                                           const std::wstring& fallback) = 0;
    virtual void WriteUpdateSetting(const std::wstring& key, const std::wstring& value) = 0;
    // The release number on the maker's web server; empty on any failure.
    virtual std::wstring FetchRemoteRelease() = 0;
};

enum class TimerSwitch { On, Off, Keep };

struct ProgramStart {
    std::wstring application;  // a full path, or a bare file name
    std::wstring commandLine;
    std::wstring workingDirectory;
};

// One program the service keeps running: its restart back-off and when a
// failed start was last written to the event log. It starts over when the
// program's path changes.
class KeptProgram {
  public:
    static constexpr RestartBackoff::Duration kFailureReportInterval = std::chrono::minutes(1);

    explicit KeptProgram(RestartBackoff::Now now) : now_(std::move(now)), backoff_(now_) {}

    // The tick found the program running.
    void Running(const std::wstring& application);
    // The tick found it missing: it is started unless the back-off says to
    // wait. A bare file name is looked for on the system path first. The
    // first start of an episode of quick ends is reported, and so is a
    // failed start, at most once a minute.
    void Missing(StationPlatform& platform, const ProgramStart& start);

  private:
    void Track(const std::wstring& application);

    RestartBackoff::Now now_;
    std::wstring application_;
    RestartBackoff backoff_;
    std::optional<RestartBackoff::Clock::time_point> failureReported_;
};

// The two programs RegisteredTimer keeps running.
struct KeptPrograms {
    explicit KeptPrograms(const RestartBackoff::Now& now = RestartBackoff::Clock::now)
        : watchdog(now), application(now) {}
    KeptProgram watchdog;
    KeptProgram application;
};

// First in every LogTimer tick: once "QUARN-Release" reads "update", this
// release is recorded in the settings key and quarn.ini, and version.exe is
// started once in the user's session.
void RunReleaseStep(StationPlatform& platform, RegistryBackend& registry = DefaultRegistry());

// LogTimer's user check: RegisteredTimer on while the locked-down account is
// at the station and the machine shell runs, off when another account is.
TimerSwitch CheckStationUser(StationPlatform& platform,
                             RegistryBackend& registry = DefaultRegistry());

// RegisteredTimer's tick: keeps watchdog.exe (Vista and later) and the
// configured application running in the console user's session.
void KeepProgramsRunning(StationPlatform& platform, KeptPrograms& kept,
                         RegistryBackend& registry = DefaultRegistry());

struct ProgramPath {
    std::wstring directory;  // up to and including the last "\", "/" or ":"
    std::wstring fileName;
};
ProgramPath SplitProgramPath(const std::wstring& program);

}  // namespace quarn
