// The watch service's two ticks under Wine: processor time per tick with a
// process list of realistic length, and the private memory and handles of
// the process after an hour's worth of ticks (3600 of each). The station is
// arranged so that both ticks do their whole work and find everything running.
//
//   watch_ticks_bench.exe            runs the measurement
//   watch_ticks_bench.exe --sleep N  one of the background processes

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "system/handle_win32.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "watch/station_platform_win32.h"
#include "watch/watch_ticks.h"

namespace {

using namespace quarn;

constexpr int kBackgroundProcesses = 100;
constexpr int kTicks = 3600;

double ProcessorSeconds() {
    FILETIME creation{}, exit{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// The process's private memory in KiB: what Windows reports, or under Wine,
// where that figure is not kept, the anonymous resident memory that Linux
// reports for the process (its /proc seen through drive Z:).
std::size_t PrivateKiB() {
    std::ifstream status("Z:\\proc\\self\\status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stoul(line.substr(8));
        }
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return counters.PrivateUsage / 1024;
}

// The handles the process holds: GetProcessHandleCount, or under Wine, which
// does not keep that count, the system's handle table.
unsigned long Handles() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0) {
        return count;
    }
    struct Entry {
        ULONG processId;
        BYTE type;
        BYTE flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<std::uint8_t> buffer(1 << 22);
    ULONG length = 0;
    constexpr ULONG kSystemHandleInformation = 16;
    if (query == nullptr || query(kSystemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &length) != 0) {
        return 0;
    }
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    unsigned long mine = 0;
    for (ULONG i = 0; i < entries; ++i) {
        mine += entry[i].processId == ::GetCurrentProcessId();
    }
    return mine;
}

win32::unique_handle Spawn(const std::filesystem::path& program) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" --sleep 600";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          DETACHED_PROCESS, nullptr, nullptr, &startup, &process)) {
        return {};
    }
    ::CloseHandle(process.hThread);
    return win32::unique_handle(process.hProcess);
}

template <typename Tick>
double MicrosecondsPerTick(Tick&& tick, int count) {
    const double before = ProcessorSeconds();
    for (int i = 0; i < count; ++i) {
        tick();
    }
    return (ProcessorSeconds() - before) * 1e6 / count;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--sleep") == 0) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000));
        return 0;
    }

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / L"quarn-watch-bench";
    std::filesystem::create_directories(folder);
    std::vector<win32::unique_handle> background;
    for (const wchar_t* name : {L"watchdog.exe", L"kioskapp.exe"}) {
        std::filesystem::copy_file(self, folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
        background.push_back(Spawn(folder / name));
    }
    for (int i = 0; i < kBackgroundProcesses; ++i) {
        background.push_back(Spawn(self));
    }
    ::Sleep(2000);

    wchar_t user[256] = {};
    DWORD size = 256;
    ::GetUserNameW(user, &size);
    WriteSetting(L"QUARN-Username", user);
    WriteSetting(L"QUARN-DIR", folder.wstring());
    WriteSetting(L"Program", (folder / L"kioskapp.exe").wstring());
    WriteSetting(L"ProgramParameter", L"");
    WriteSetting(L"CompleteLockDown", L"false");
    RegistryAccess logonUi;
    logonUi.SetRootKey(RegistryRoot::LocalMachine);
    logonUi.OpenKey(L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Authentication\\LogonUI",
                    true);
    logonUi.WriteString(L"LastLoggedOnSAMUser", std::wstring(L"STATION\\") + user);

    Win32StationPlatform platform;
    KeptPrograms kept;
    std::size_t processes = 0;
    {
        const win32::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            ++processes;
        }
    }
    // Warm up: the first calls load libraries and fill caches.
    CheckStationUser(platform);
    KeepProgramsRunning(platform, kept);

    const std::size_t privateBefore = PrivateKiB();
    const unsigned long handlesBefore = Handles();
    const double logTick = MicrosecondsPerTick([&] { CheckStationUser(platform); }, kTicks);
    const double registeredTick =
        MicrosecondsPerTick([&] { KeepProgramsRunning(platform, kept); }, kTicks);
    const std::size_t privateAfter = PrivateKiB();
    const unsigned long handlesAfter = Handles();

    std::printf("processes in the snapshot:          %zu\n", processes);
    std::printf("LogTimer tick (user check):         %8.1f us processor time\n", logTick);
    std::printf("RegisteredTimer tick (watchdog):    %8.1f us processor time\n", registeredTick);
    std::printf("private memory before / after %d ticks of each: %zu / %zu KiB\n", kTicks,
                privateBefore, privateAfter);
    std::printf("handles before / after:             %lu / %lu\n", handlesBefore, handlesAfter);

    for (win32::unique_handle& process : background) {
        ::TerminateProcess(process.get(), 0);
    }
    return privateAfter > privateBefore + 256 || handlesAfter > handlesBefore + 4 ? 1 : 0;
}
