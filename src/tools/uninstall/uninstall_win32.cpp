// uninstall.exe: the removal that whoever starts it can wait for.
//
// The NSIS uninstaller (uninstall.dat beside this program) copies itself into
// the temporary folder, starts the copy and ends at once when it is started
// directly, so a script that waits for it goes on while the removal has only
// begun. This program makes that copy itself, starts it on the installation
// folder (its _?= switch), waits for it and ends with its exit code: 0
// removed, 2 refused or failed. A running NSIS program keeps its own file
// open, so it could not take itself out of the folder; this one moves its
// file into the temporary folder once the removal has taken uninstall.dat,
// and Windows deletes it there at the next restart.

#include <windows.h>

#include <filesystem>
#include <string>

#include "system/handle_win32.h"
#include "system/program_path_win32.h"

namespace {

constexpr wchar_t kUninstaller[] = L"uninstall.dat";
constexpr DWORD kFailed = 2;

std::filesystem::path TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, path);
    return path;
}

// This program's arguments as they were given: the command line without its
// first word, the program's name.
std::wstring Arguments() {
    const wchar_t* line = ::GetCommandLineW();
    bool quoted = false;
    for (; *line != L'\0' && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
        quoted = *line == L'"' ? !quoted : quoted;
    }
    while (*line == L' ' || *line == L'\t') {
        ++line;
    }
    return line;
}

bool Silent(const std::wstring& arguments) {
    return arguments == L"/S" || arguments.rfind(L"/S ", 0) == 0 ||
           arguments.find(L" /S ") != std::wstring::npos ||
           (arguments.size() >= 3 && arguments.compare(arguments.size() - 3, 3, L" /S") == 0);
}

DWORD Refuse(const std::wstring& arguments, const std::wstring& text) {
    if (!Silent(arguments)) {
        ::MessageBoxW(nullptr, text.c_str(), L"QUARN", MB_OK | MB_ICONSTOP);
    }
    return kFailed;
}

// Runs the uninstaller's copy on the folder and waits for its end.
DWORD RunUninstaller(const std::filesystem::path& copy, const std::filesystem::path& folder,
                     const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + copy.wstring() + L"\" " + arguments;
    // Last, without quotes, as the uninstaller takes it.
    commandLine += L" _?=" + folder.wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    quarn::win32::unique_process_information started;
    if (!::CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          copy.parent_path().c_str(), &startup, started.put())) {
        return Refuse(arguments, L"The uninstaller could not be started (CreateProcessW: error " +
                                     std::to_wstring(::GetLastError()) + L").");
    }
    ::WaitForSingleObject(started.process(), INFINITE);
    DWORD code = kFailed;
    ::GetExitCodeProcess(started.process(), &code);
    return code;
}

// Deleted now, or at the next restart when that fails.
void Discard(const std::filesystem::path& file) {
    if (!::DeleteFileW(file.c_str())) {
        ::MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// The running program's file leaves the folder: a running program can be
// moved on its drive but not deleted. On another drive it is deleted at the
// next restart where it is, and the folder with it.
void TakeOwnFileAway(const std::filesystem::path& self, const std::filesystem::path& moved) {
    if (::MoveFileExW(self.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ::MoveFileExW(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        ::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        ::MoveFileExW(self.parent_path().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring arguments = Arguments();
    const std::filesystem::path self = quarn::win32::ThisProgramPath();
    const std::filesystem::path folder = self.parent_path();
    const std::filesystem::path uninstaller = folder / kUninstaller;
    if (::GetFileAttributesW(uninstaller.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return static_cast<int>(
            Refuse(arguments, L"QUARN cannot be removed: " + uninstaller.wstring() +
                                  L" is missing. Install QUARN again, then remove it."));
    }
    // A folder of this run's own; the folder being removed must not be the
    // current one of either program.
    const std::wstring run = L"QUARN-uninstall-" + std::to_wstring(::GetCurrentProcessId());
    const std::filesystem::path work = TempFolder() / run;
    const std::filesystem::path copy = work / L"uninstall.exe";
    ::CreateDirectoryW(work.c_str(), nullptr);
    ::SetCurrentDirectoryW(TempFolder().c_str());
    if (!::CopyFileW(uninstaller.c_str(), copy.c_str(), FALSE)) {
        return static_cast<int>(Refuse(arguments, L"The uninstaller could not be copied to " +
                                                      copy.wstring() + L" (CopyFileW: error " +
                                                      std::to_wstring(::GetLastError()) + L")."));
    }
    const DWORD code = RunUninstaller(copy, folder, arguments);
    Discard(copy);
    ::RemoveDirectoryW(work.c_str());

    // Removed: uninstall.dat is gone with the rest, and so goes this file.
    if (::GetFileAttributesW(uninstaller.c_str()) == INVALID_FILE_ATTRIBUTES) {
        TakeOwnFileAway(self, TempFolder() / (run + L".exe"));
        ::RemoveDirectoryW(folder.c_str());  // empty unless the configuration stays
    }
    return static_cast<int>(code);
}
