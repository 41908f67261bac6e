#pragma once

// The work of the service's two timers, portable: the user check of
// LogTimer and the watchdog tick of RegisteredTimer. What they ask of Windows
// comes through StationPlatform; the registry through RegistryBackend. Every
// tick reads the settings afresh, so a change in the configurator takes
// effect at the next tick.

#include <string>

#include "registry_backend.h"
#include "system_queries.h"

namespace quarn {

class StationPlatform {
  public:
    virtual ~StationPlatform() = default;
    virtual VersionClass WindowsVersionClass() = 0;
    virtual bool IsProgramRunning(std::wstring_view name) = 0;
    // Whether the machine's shell process could be opened (the handle is
    // closed at once).
    virtual bool ShellProcessOpens() = 0;
    virtual bool LaunchInUserSession(const std::wstring& application,
                                     const std::wstring& commandLine,
                                     const std::wstring& workingDirectory) = 0;
    // quarn.ini beside the service, section "Update".
    virtual std::wstring ReadUpdateSetting(const std::wstring& key,
                                           const std::wstring& fallback) = 0;
    virtual void WriteUpdateSetting(const std::wstring& key, const std::wstring& value) = 0;
    // The release number on the maker's web server; empty on any failure.
    virtual std::wstring FetchRemoteRelease() = 0;
};

enum class TimerSwitch { On, Off, Keep };

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
void KeepProgramsRunning(StationPlatform& platform, RegistryBackend& registry = DefaultRegistry());

struct ProgramPath {
    std::wstring directory;  // up to and including the last "\" or ":"
    std::wstring fileName;
};
ProgramPath SplitProgramPath(const std::wstring& program);

}  // namespace quarn
