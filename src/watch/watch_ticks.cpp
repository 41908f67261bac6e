#include "watch/watch_ticks.h"

#include "system/outside_programs.h"
#include "system/release.h"
#include "system/settings.h"
#include "watch/process_queries.h"

namespace quarn {
namespace {

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring Seconds(RestartBackoff::Duration duration) {
    return std::to_wstring(std::chrono::duration_cast<std::chrono::seconds>(duration).count()) +
           L" s";
}

std::wstring EpisodeMessage(const std::wstring& application, const RestartBackoff::Start& start) {
    return Quoted(application) + L" was started " + std::to_wstring(start.recentStarts) +
           L" times in " + Seconds(start.span) +
           L" and did not keep running; from now on each start waits " +
           Seconds(RestartBackoff::kFirstWait) + L", then longer, up to " +
           Seconds(RestartBackoff::kLongestWait) + L", until it keeps running for " +
           Seconds(RestartBackoff::kStableRun) + L".";
}

}  // namespace

ProgramPath SplitProgramPath(const std::wstring& program) {
    const std::wstring_view fileName = FileNamePart(program);
    return {program.substr(0, program.size() - fileName.size()), std::wstring(fileName)};
}

void KeptProgram::Track(const std::wstring& application) {
    if (application != application_) {
        application_ = application;
        backoff_ = RestartBackoff(now_);
        failureReported_.reset();
    }
}

void KeptProgram::Running(const std::wstring& application) {
    Track(application);
    backoff_.SeenRunning();
}

void KeptProgram::Missing(StationPlatform& platform, const ProgramStart& start) {
    Track(start.application);
    if (!backoff_.MayStart()) {
        return;
    }
    ProgramStart resolved = start;
    LaunchResult result;
    if (SplitProgramPath(start.application).directory.empty()) {
        // A bare name: the service's own folder and current folder are no
        // place to look for the station's application.
        resolved.application = platform.FindOnSystemPath(start.application);
        resolved.workingDirectory = SplitProgramPath(resolved.application).directory;
        if (resolved.application.empty()) {
            result.failure = L"it is not on the system path";
        }
    }
    if (!resolved.application.empty()) {
        result = platform.LaunchInUserSession(resolved.application, resolved.commandLine,
                                              resolved.workingDirectory);
    }
    switch (result.outcome) {
        case LaunchResult::Outcome::Started: {
            const RestartBackoff::Start started = backoff_.Started();
            if (started.episodeBegins) {
                platform.LogEvent(EventType::Warning,
                                  EpisodeMessage(resolved.application, started));
            }
            break;
        }
        case LaunchResult::Outcome::HeldBack:
            break;
        case LaunchResult::Outcome::Failed: {
            const auto now = now_();
            if (!failureReported_ || now - *failureReported_ >= kFailureReportInterval) {
                failureReported_ = now;
                platform.LogEvent(
                    EventType::Error,
                    Quoted(start.application) + L" could not be started: " + result.failure);
            }
            break;
        }
    }
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

void KeepProgramsRunning(StationPlatform& platform, KeptPrograms& kept, RegistryBackend& registry) {
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
    if (versionClass >= kVistaOrLater) {
        const std::wstring watchdog = WatchdogPath(installDir);
        if (platform.IsProgramRunning(kWatchdogExe)) {
            kept.watchdog.Running(watchdog);
        } else {
            kept.watchdog.Missing(platform, {watchdog, L" ", installDir});
        }
    }

    const std::wstring configured = ReadProgram(registry);
    const std::wstring fileName(FileNamePart(configured));
    const std::wstring parameter = ReadProgramParameter(registry);
    if (fileName.empty() || fileName == L"*.*") {
        return;
    }
    if (platform.IsProgramRunning(fileName)) {
        kept.application.Running(configured);
        return;
    }
    const ProgramPath program = SplitProgramPath(ReadProgram(registry));
    kept.application.Missing(
        platform, {program.directory + program.fileName, L" " + parameter, program.directory});
}

}  // namespace quarn
