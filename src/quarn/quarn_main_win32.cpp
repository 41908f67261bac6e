// quarn.exe: the configurator's start-up. Only one configurator runs; it
// ends quietly for the locked-down account itself; a station without an
// administrator password gets its first-start set-up; the administrator
// password and administrator rights are asked for; the domain role is learnt;
// then the main window runs.

#include <windows.h>

#include <filesystem>

#include "quarn/application_win32.h"
#include "quarn/form1_win32.h"
#include "quarn/form7_win32.h"
#include "quarn/logon_shell.h"
#include "system/admin_password.h"
#include "system/com_win32.h"
#include "system/handle_win32.h"
#include "system/settings.h"
#include "system/system_queries.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

namespace {

#if defined(QUARN_ACCOUNT_STANDIN)
constexpr wchar_t kBuildNote[] = L" (Wine test build: account stand-in)";
#else
constexpr wchar_t kBuildNote[] = L"";
#endif

std::filesystem::path ProgramFolder() {
    return quarn::ExecutableFolder();
}

std::wstring CurrentDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

// Starts a command line with a hidden window, without waiting for it.
void RunHidden(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    quarn::win32::unique_process_information process;
    ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, process.put());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace quarn;
    Win32FormDialogs dialogs;

    // One configurator at a time; the platform releases the mutex at the end.
    const HANDLE mutex = ::CreateMutexW(nullptr, TRUE, L"quarn.exe");
    if (mutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        dialogs.ShowMessage(L"QUARN instance is still running ...");
        return 0;
    }
    try {
        if (IsLockedAccountAtStation(GetWindowsVersionClass())) {
            return 0;  // the station's own account: no configurator, no window
        }
        if (ReadPasswordDigest().empty()) {
            WriteFirstRunDefaults(GetProgramFilesDir(), CurrentDirectory());
            RunHidden(L"net user quarn tavri /ADD");
            dialogs.ShowMessage(kPleaseCreatePassword);
            CreateAdminPassword(dialogs);
        }
        if (!CheckAdminPassword(dialogs)) {
            return 0;
        }
        if (!IsAdministrator()) {
            dialogs.ShowMessage(L"administrator privileges required !!");
            return 0;
        }
        {
            const win32::ComInitialization com;
            try {
                QueryDomainRole();
            } catch (const std::exception&) {
                // Without WMI the role stays unknown, which counts as a workstation.
            }
        }

        Application& application = Application::Instance();
        application.Initialize();
        application.SetTitle(L"QUARN");
        TForm1 form(dialogs, {ProgramFolder(), kRowPause, kBuildNote});
        dialogs.SetOwner(form.Handle());
        TForm7 updateWindow(dialogs,
                            {form.Handle(),
                             [] {
                                 return SetupDownloadUrl(
                                     ReadUpdateSetting((ProgramFolder() / kIniFileName).wstring(),
                                                       L"QUARNUpdateURL", kDefaultUpdateUrl));
                             },
                             [&form] { ::PostMessageW(form.Handle(), WM_CLOSE, 0, 0); }, nullptr});
        form.SetUpdateWindow(&updateWindow);
        form.Show();
        return application.Run();
    } catch (const std::exception& error) {
        dialogs.ShowError(ErrorReportText(Utf8ToUtf16(error.what())));
        return 1;
    }
}
