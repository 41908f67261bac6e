// The watch service's two ticks under Wine: processor time per tick, beside
// the least the work can cost, one look at the process list (a bare snapshot
// and its walk), with 12, 60 and 110 processes in the list, so that the growth
// per process shows; and the private memory and handles of the process after
// an hour's worth of ticks (3600 of each) at the largest list. Under Wine
// much of a snapshot's work is wineserver's: its processor time over the same
// interval is reported beside ours. The station is arranged so that both
// ticks do their whole work and find everything running.
//
//   watch_ticks_bench.exe [--ticks N]  runs the measurement: each figure over
//                                      600 calls, 1800 at the largest list
//                                      (with the one second's, an hour of
//                                      each tick); N calls everywhere if given
//   watch_ticks_bench.exe --sleep N    one of the background processes

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/registry_access.h"
#include "system/settings.h"
#include "watch/station_platform_win32.h"
#include "watch/watch_ticks.h"

namespace {

using namespace quarn;

// The lengths of the process list measured, every process of the prefix
// counted.
constexpr std::size_t kListLengths[] = {12, 60, 110};
constexpr int kCalls = 600;
// The two ticks alone and the second of both: an hour of each tick.
constexpr int kCallsAtTheLargest = 1800;

double ProcessorSeconds() {
    FILETIME creation{}, exit{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        return (static_cast<double>(time.dwHighDateTime) * 4294967296.0 + time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// wineserver's Linux /proc entry, seen through drive Z:; nothing outside
// Wine. Looked for once, so that the looking costs nothing in the figures.
std::optional<std::filesystem::path> FindWineserver() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("Z:\\proc", error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos) {
            continue;
        }
        std::ifstream comm(entry.path() / "comm");
        std::string command;
        // Debian names it wineserver64.
        if (std::getline(comm, command) && command.rfind("wineserver", 0) == 0) {
            return entry.path();
        }
    }
    return std::nullopt;
}

// Its processor time (user and system). Linux counts it in ticks of 1/100 s.
std::optional<double> WineserverSeconds(const std::optional<std::filesystem::path>& wineserver) {
    if (!wineserver) {
        return std::nullopt;
    }
    std::ifstream stat(*wineserver / "stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    // The fields after the command's closing parenthesis begin with the
    // third, the state; utime and stime are the 14th and 15th.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / 100.0;
}

// The floor: one snapshot of the process list, walked to its end.
std::size_t LookAtTheProcessList() {
    const win32::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::size_t processes = 0;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        ++processes;
    }
    return processes;
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

// Processor time per call, ours and wineserver's, in microseconds.
struct Cost {
    double own = 0;
    std::optional<double> wineserver;
    double Total() const { return own + wineserver.value_or(0); }
};

const std::optional<std::filesystem::path> kWineserver = FindWineserver();

template <typename Tick>
Cost CostPerCall(Tick&& tick, int count) {
    const std::optional<double> serverBefore = WineserverSeconds(kWineserver);
    const double before = ProcessorSeconds();
    for (int i = 0; i < count; ++i) {
        tick();
    }
    Cost cost{(ProcessorSeconds() - before) * 1e6 / count, std::nullopt};
    const std::optional<double> serverAfter = WineserverSeconds(kWineserver);
    if (serverBefore && serverAfter) {
        cost.wineserver = (*serverAfter - *serverBefore) * 1e6 / count;
    }
    return cost;
}

void PrintCost(const char* what, const Cost& cost, const Cost& floor) {
    std::printf("  %-34s %9.1f us", what, cost.own);
    if (cost.wineserver) {
        std::printf(" + wineserver %9.1f us", *cost.wineserver);
    }
    std::printf("  = %5.2f x the floor\n", cost.Total() / floor.Total());
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
    std::optional<int> givenCalls;
    if (argc == 3 && std::wcscmp(argv[1], L"--ticks") == 0) {
        givenCalls = static_cast<int>(std::wcstoul(argv[2], nullptr, 10));
    }
    std::vector<win32::unique_handle> background;
    for (const wchar_t* name : {L"watchdog.exe", L"kioskapp.exe"}) {
        // copy_file cannot replace a file under Wine.
        ReplaceFileContents(folder / name, ReadWholeFile(self));
        background.push_back(Spawn(folder / name));
    }

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
    // Warm up: the first calls load libraries and fill caches.
    CheckStationUser(platform);
    KeepProgramsRunning(platform, kept);

    int status = 0;
    for (const std::size_t length : kListLengths) {
        // More sleeping copies of this program until the list is this long:
        // started together, then waited for until each shows in the list.
        for (std::size_t listed = LookAtTheProcessList(); listed < length; ++listed) {
            background.push_back(Spawn(self));
            if (!background.back()) {
                std::printf("cannot start a background process (%lu)\n", ::GetLastError());
                return 2;
            }
        }
        while (LookAtTheProcessList() < length) {
            ::Sleep(100);
        }
        const std::size_t processes = LookAtTheProcessList();
        const bool last = length == kListLengths[std::size(kListLengths) - 1];
        const int ticks = givenCalls.value_or(last ? kCallsAtTheLargest : kCalls);

        const Cost floor = CostPerCall([] { LookAtTheProcessList(); }, ticks);
        const std::size_t privateBefore = PrivateKiB();
        const unsigned long handlesBefore = Handles();
        // LogTimer's tick as the service runs it: the release step, then the
        // user check.
        const auto logTimer = [&] {
            RunReleaseStep(platform);
            CheckStationUser(platform);
        };
        const Cost logTick = CostPerCall(logTimer, ticks);
        const Cost registeredTick =
            CostPerCall([&] { KeepProgramsRunning(platform, kept); }, ticks);
        const Cost second = CostPerCall(
            [&] {
                logTimer();
                KeepProgramsRunning(platform, kept);
            },
            ticks);
        const std::size_t privateAfter = PrivateKiB();
        const unsigned long handlesAfter = Handles();

        std::printf("%zu processes in the list, %d calls of each:\n", processes, ticks);
        PrintCost("floor (one snapshot and its walk)", floor, floor);
        PrintCost("LogTimer tick (user check)", logTick, floor);
        PrintCost("RegisteredTimer tick (watchdog)", registeredTick, floor);
        PrintCost("one second (both ticks)", second, floor);
        if (last) {
            std::printf("private memory before / after %d ticks of each: %zu / %zu KiB\n",
                        2 * ticks, privateBefore, privateAfter);
            std::printf("handles before / after:             %lu / %lu\n", handlesBefore,
                        handlesAfter);
            if (privateAfter > privateBefore + 256 || handlesAfter > handlesBefore + 4) {
                status = 1;
            }
        }
    }

    for (win32::unique_handle& process : background) {
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), INFINITE);
    }
    return status;
}
