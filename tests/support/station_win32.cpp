#include "support/station_win32.h"

#include <cstdio>
#include <map>
#include <utility>

#include "support/driver_win32.h"
#include "system/handle_win32.h"
#include "system/process_list_win32.h"
#include "system/registry_access.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn::test {
namespace {

constexpr DWORD kTreeAccess = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
constexpr DWORD kEndWait = 10000;

ULONGLONG AsNumber(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// When the process was created and, once it has ended, when it ended.
struct Lifetime {
    ULONGLONG created = 0;
    ULONGLONG ended = ~0ULL;
};

Lifetime LifetimeOf(HANDLE process) {
    FILETIME created{};
    FILETIME ended{};
    FILETIME kernel{};
    FILETIME user{};
    Lifetime lifetime;
    if (::GetProcessTimes(process, &created, &ended, &kernel, &user)) {
        lifetime.created = AsNumber(created);
        if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            lifetime.ended = AsNumber(ended);
        }
    }
    return lifetime;
}

// Whether the process with a parent's id was started by that parent, and is
// not a later process that took over the id of a parent that has ended.
bool StartedBy(HANDLE parent, HANDLE child) {
    const Lifetime parentLife = LifetimeOf(parent);
    const ULONGLONG created = LifetimeOf(child).created;
    return created >= parentLife.created && created <= parentLife.ended;
}

// Whether the process keeps the desktop window. Under Wine that is
// explorer.exe, which the first program to need the desktop starts; it serves
// every program shown there, not the one that happened to start it. Asked
// only of an explorer.exe, so that a tree of console programs never makes
// Wine create a desktop.
bool IsDesktopProcess(const ProcessEntry& entry) {
    if (!EqualsIgnoringCaseAZ(entry.exeFile, L"explorer.exe")) {
        return false;
    }
    DWORD processId = 0;
    ::GetWindowThreadProcessId(::GetDesktopWindow(), &processId);
    return processId == entry.processId;
}

// A process and every process it started, and they in turn, as far as they
// have appeared so far; never the desktop's own process.
class ProcessTree {
  public:
    explicit ProcessTree(HANDLE root) {
        members_.emplace(::GetProcessId(root), Member{root, {}});
        Grow();
    }

    // Takes in the members' children that have appeared; false when none had.
    bool Grow() {
        bool grew = false;
        for (const ProcessEntry& entry : ListProcesses()) {
            const auto parent = members_.find(entry.parentProcessId);
            if (parent == members_.end() || members_.count(entry.processId) != 0 ||
                IsDesktopProcess(entry)) {
                continue;
            }
            win32::unique_handle child(::OpenProcess(kTreeAccess, FALSE, entry.processId));
            if (child && StartedBy(parent->second.handle, child.get())) {
                const HANDLE handle = child.get();
                members_.emplace(entry.processId, Member{handle, std::move(child)});
                grew = true;
            }
        }
        return grew;
    }

    // Waits until every member has ended, until the deadline; false when one
    // still ran then.
    bool AnyRunning() const {
        for (const auto& [id, member] : members_) {
            if (::WaitForSingleObject(member.handle, 0) != WAIT_OBJECT_0) {
                return true;
            }
        }
        return false;
    }

    bool AwaitMembers(ULONGLONG deadline) const {
        for (const auto& [id, member] : members_) {
            const ULONGLONG now = ::GetTickCount64();
            const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            if (::WaitForSingleObject(member.handle, left) != WAIT_OBJECT_0) {
                return false;
            }
        }
        return true;
    }

    void EndMembers() const {
        for (const auto& [id, member] : members_) {
            ::TerminateProcess(member.handle, 1);
        }
        for (const auto& [id, member] : members_) {
            ::WaitForSingleObject(member.handle, kEndWait);
        }
    }

    bool Holds(DWORD processId) const { return members_.count(processId) != 0; }

  private:
    struct Member {
        HANDLE handle;
        win32::unique_handle owner;  // empty for the root, which the caller owns
    };
    std::map<DWORD, Member> members_;
};

// The texts of the windows the tree's processes show (a caption, then the
// texts of its controls), for a report of why a program did not end.
std::wstring ShownWindows(const ProcessTree& tree) {
    struct Search {
        const ProcessTree& tree;
        std::wstring texts;
    } search{tree, {}};
    static constexpr auto appendText = [](HWND window, std::wstring& texts) {
        wchar_t text[512] = {};
        ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
        texts += text;
    };
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& found = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (::IsWindowVisible(window) && found.tree.Holds(owner)) {
                found.texts += found.texts.empty() ? L"[" : L"; [";
                appendText(window, found.texts);
                ::EnumChildWindows(
                    window,
                    [](HWND child, LPARAM texts) -> BOOL {
                        *reinterpret_cast<std::wstring*>(texts) += L" | ";
                        appendText(child, *reinterpret_cast<std::wstring*>(texts));
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&found.texts));
                found.texts += L"]";
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.texts;
}

}  // namespace

bool Running(const wchar_t* name) {
    for (const ProcessEntry& entry : ListProcesses()) {
        if (EqualsIgnoringCaseAZ(entry.exeFile, name)) {
            return true;
        }
    }
    return false;
}

void EndProcessTree(HANDLE root) {
    ProcessTree tree(root);
    // A member may have started another just before it ended.
    do {
        tree.EndMembers();
    } while (tree.Grow());
}

void EndAll(const wchar_t* name) {
    for (const ProcessEntry& entry : ListProcesses()) {
        if (EqualsIgnoringCaseAZ(entry.exeFile, name)) {
            const win32::unique_handle process(::OpenProcess(kTreeAccess, FALSE, entry.processId));
            if (process) {
                EndProcessTree(process.get());
            }
        }
    }
}

void EndChildren(const wchar_t* name) {
    const DWORD self = ::GetCurrentProcessId();
    for (const ProcessEntry& entry : ListProcesses()) {
        if (entry.parentProcessId == self && EqualsIgnoringCaseAZ(entry.exeFile, name)) {
            const win32::unique_handle process(::OpenProcess(kTreeAccess, FALSE, entry.processId));
            if (process && StartedBy(::GetCurrentProcess(), process.get())) {
                EndProcessTree(process.get());
            }
        }
    }
}

DWORD RunToEnd(const std::filesystem::path& program, const std::wstring& arguments,
               std::chrono::milliseconds within) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, process.put())) {
        return 0xFFFF;
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(within.count());
    ProcessTree tree(process.process());
    do {
        if (!tree.AwaitMembers(deadline)) {
            // A box that nobody answers is the usual reason: say what it says.
            const std::wstring shown = ShownWindows(tree);
            std::fprintf(stderr, "RunToEnd: %s %s did not end in time; its windows: %s\n",
                         Utf16ToUtf8(program.wstring()).c_str(), Utf16ToUtf8(arguments).c_str(),
                         shown.empty() ? "none" : Utf16ToUtf8(shown).c_str());
            EndProcessTree(process.process());
            return 0xFFFE;
        }
    } while (tree.Grow());
    DWORD code = 0;
    ::GetExitCodeProcess(process.process(), &code);
    return code;
}

ScriptRun RunAsScriptDoes(const std::wstring& commandLine, std::chrono::milliseconds within) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, process.put())) {
        return {0xFFFF, false};
    }
    if (::WaitForSingleObject(process.process(), static_cast<DWORD>(within.count())) !=
        WAIT_OBJECT_0) {
        EndProcessTree(process.process());
        return {0xFFFE, false};
    }
    ScriptRun run;
    ::GetExitCodeProcess(process.process(), &run.exitCode);
    if (ProcessTree(process.process()).AnyRunning()) {
        run.workLeftRunning = true;
        EndProcessTree(process.process());
    }
    return run;
}

DWORD ServiceState(SC_HANDLE service) {
    SERVICE_STATUS status{};
    ::QueryServiceStatus(service, &status);
    return status.dwCurrentState;
}

bool StopService(SC_HANDLE service, std::chrono::milliseconds within) {
    SERVICE_STATUS_PROCESS running{};
    DWORD needed = 0;
    win32::unique_handle process;
    if (::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&running),
                               sizeof running, &needed) &&
        running.dwProcessId != 0) {
        process.reset(::OpenProcess(SYNCHRONIZE, FALSE, running.dwProcessId));
    }
    SERVICE_STATUS status{};
    ::ControlService(service, SERVICE_CONTROL_STOP, &status);
    if (!WaitUntil([&] { return ServiceState(service) == SERVICE_STOPPED; }, within)) {
        return false;
    }
    return !process || ::WaitForSingleObject(process.get(), static_cast<DWORD>(within.count())) ==
                           WAIT_OBJECT_0;
}

bool RemoveService(const wchar_t* name) {
    const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const auto open = [&](DWORD access) {
        return win32::unique_service(::OpenServiceW(manager.get(), name, access));
    };
    if (const win32::unique_service service = open(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)) {
        StopService(service.get());
        ::DeleteService(service.get());
    }
    return WaitUntil([&] { return !open(SERVICE_QUERY_STATUS); }, std::chrono::seconds(30));
}

std::size_t ServiceTicks(const std::filesystem::path& folder, const std::string& timer) {
    std::size_t ticks = 0;
    for (const std::string& line : LogLines(folder / L"tick-journal.txt")) {
        ticks += line == timer ? 1 : 0;
    }
    return ticks;
}

bool WaitForFreshTick(const std::filesystem::path& folder, const std::string& timer,
                      std::chrono::milliseconds within) {
    // The tick that runs now may have begun before the call; the one after
    // it has not.
    const std::size_t seen = ServiceTicks(folder, timer);
    return WaitUntil([&] { return ServiceTicks(folder, timer) >= seen + 2; }, within);
}

void SetLastLogonUser(const std::wstring& user) {
    RegistryAccess access;
    access.SetRootKey(RegistryRoot::LocalMachine);
    access.OpenKey(kLogonUiKey, true);
    access.WriteString(L"LastLoggedOnSAMUser", user);
}

void ClearLastLogonUser() {
    RegistryAccess access;
    access.SetRootKey(RegistryRoot::LocalMachine);
    if (access.OpenKey(kLogonUiKey, false)) {
        access.DeleteValue(L"LastLoggedOnSAMUser");
    }
}

std::vector<std::string> LogLines(const std::filesystem::path& log) {
    // Shared with a writer that still has the file open, as the programs
    // that write these logs open them.
    const win32::unique_file file(::CreateFileW(
        log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break;  // still being written
        }
        // A line a program wrote in text mode ends in CR LF.
        const std::size_t length =
            end > start && text[end - 1] == '\r' ? end - start - 1 : end - start;
        lines.push_back(text.substr(start, length));
        start = end + 1;
    }
    return lines;
}

}  // namespace quarn::test
