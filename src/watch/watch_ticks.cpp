#include "watch_ticks.h"

#include "outside_programs.h"
#include "process_queries.h"
#include "release.h"
#include "settings.h"

namespace quarn {

ProgramPath SplitProgramPath(const std::wstring& program) {
    const std::wstring_view fileName = FileNamePart(program);
    return {program.substr(0, program.size() - fileName.size()), std::wstring(fileName)};
}

void RunReleaseStep(StationPlatform& platform, RegistryBackend& registry) {
    // Only "update" goes on: this release recorded, an accepted update still
    // being installed (empty) and anything else wait.
    const std::wstring release = ReadRelease(registry);
    if (release != L"update") {
        return;
    }
    const std::wstring actual = platform.ReadUpdateSetting(L"ActualRelease", release);
    if (actual != BuiltInReleaseW && platform.FetchRemoteRelease() == BuiltInReleaseW) {
        platform.WriteUpdateSetting(L"ActualRelease", BuiltInReleaseW);
        WriteRelease(BuiltInReleaseW, registry);
    }
    WriteRelease(BuiltInReleaseW, registry);
    platform.WriteUpdateSetting(L"ActualRelease", BuiltInReleaseW);
    const std::wstring installDir = ReadInstallDir(registry);
    platform.LaunchInUserSession(VersionProgramPath(installDir), L" ", installDir);
}

TimerSwitch CheckStationUser(StationPlatform& platform, RegistryBackend& registry) {
    if (!IsLockedAccountAtStation(platform.WindowsVersionClass(), registry)) {
        return TimerSwitch::Off;
    }
    return platform.ShellProcessOpens() ? TimerSwitch::On : TimerSwitch::Keep;
}

void KeepProgramsRunning(StationPlatform& platform, RegistryBackend& registry) {
    if (platform.IsProgramRunning(kDummyExe)) {
        return;  // the configurator is preparing the account
    }
    if (ReadCompleteLockDown(registry) == L"true") {
        return;  // Windows starts the watchdog itself as the account's shell
    }
    const VersionClass versionClass = platform.WindowsVersionClass();
    if (!IsLockedAccountAtStation(versionClass, registry)) {
        return;
    }
    const std::wstring installDir = ReadInstallDir(registry);
    if (versionClass >= kVistaOrLater && !platform.IsProgramRunning(kWatchdogExe)) {
        platform.LaunchInUserSession(WatchdogPath(installDir), L" ", installDir);
    }

    const std::wstring fileName(FileNamePart(ReadProgram(registry)));
    const std::wstring parameter = ReadProgramParameter(registry);
    if (fileName.empty() || fileName == L"*.*" || platform.IsProgramRunning(fileName)) {
        return;
    }
    const ProgramPath program = SplitProgramPath(ReadProgram(registry));
    platform.LaunchInUserSession(program.directory + program.fileName, L" " + parameter,
                                 program.directory);
}

}  // namespace quarn
