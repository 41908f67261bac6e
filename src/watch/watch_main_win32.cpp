// watch.exe: the service program. With "INSTALL" or "UNINSTALL" it registers
// or removes the service and exits; otherwise it runs as the service: the
// main thread runs the timers' message loop, a dispatcher thread connects to
// the service control manager, whose service thread handles the controls.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <thread>
#include <vector>

#include "system/error_win32.h"
#include "system/handle_win32.h"
#include "watch/service_commands.h"
#include "watch/service_watch_win32.h"

namespace {

using namespace quarn;

TService_watch* theService = nullptr;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopRequested = nullptr;
// Set once the main thread's message loop has ended: no tick runs any more.
HANDLE loopEnded = nullptr;
constexpr DWORD kStopWait = 30000;

void Report(DWORD state) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_STOPPED
            ? 0
            : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWin32ExitCode = NO_ERROR;
    status.dwWaitHint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? 3000 : 0;
    ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING);
            ::SetEvent(stopRequested);
            return NO_ERROR;
        case SERVICE_CONTROL_PAUSE:
            Report(SERVICE_PAUSED);  // the timers keep running
            return NO_ERROR;
        case SERVICE_CONTROL_CONTINUE:
            Report(SERVICE_RUNNING);
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            ::SetServiceStatus(statusHandle, &status);
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    statusHandle = ::RegisterServiceCtrlHandlerExW(kServiceName, ControlHandler, nullptr);
    if (statusHandle == nullptr) {
        theService->Quit();
        return;
    }
    Report(SERVICE_START_PENDING);
    theService->ServiceStart();
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(stopRequested, INFINITE);
    theService->Quit();
    // Stopped only when no tick runs: one still under way could otherwise
    // start a program after the service has said it stopped.
    ::WaitForSingleObject(loopEnded, INFINITE);
    Report(SERVICE_STOPPED);
}

std::wstring ExecutablePath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Removes the service; a running one is stopped first and waited for, since
// the service control manager only marks a running service for deletion: it
// would go on working, and a new installation would be refused meanwhile.
// The error code, or ERROR_SUCCESS.
DWORD StopAndDeleteService(SC_HANDLE manager) {
    const win32::unique_service existing(
        ::OpenServiceW(manager, kServiceName, DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!existing) {
        return ::GetLastError();
    }
    const ULONGLONG deadline = ::GetTickCount64() + kStopWait;
    for (SERVICE_STATUS state{};;) {
        if (!::QueryServiceStatus(existing.get(), &state)) {
            return ::GetLastError();
        }
        if (state.dwCurrentState == SERVICE_STOPPED) {
            break;
        }
        if (state.dwCurrentState != SERVICE_STOP_PENDING &&
            !::ControlService(existing.get(), SERVICE_CONTROL_STOP, &state)) {
            // A service that is starting cannot take the request yet; one
            // that has just stopped needs none.
            const DWORD refused = ::GetLastError();
            if (refused != ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
                refused != ERROR_SERVICE_NOT_ACTIVE) {
                return refused;
            }
        }
        if (::GetTickCount64() >= deadline) {
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        ::Sleep(100);
    }
    return ::DeleteService(existing.get()) ? ERROR_SUCCESS : ::GetLastError();
}

// Registers or removes the service and says how it went.
void Install(TService_watch& service, const ServiceCommand& command) {
    const bool install = command.action == ServiceAction::Install;
    DWORD error = ERROR_SUCCESS;
    const win32::unique_service manager(::OpenSCManagerW(
        nullptr, nullptr, install ? SC_MANAGER_CREATE_SERVICE : SC_MANAGER_CONNECT));
    if (!manager) {
        error = ::GetLastError();
    } else if (install) {
        DWORD type = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
        service.ServiceBeforeInstall(type);
        const win32::unique_service created(::CreateServiceW(
            manager.get(), kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS, type,
            SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, ServiceImagePath(ExecutablePath()).c_str(),
            nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!created) {
            error = ::GetLastError();
        }
    } else {
        error = StopAndDeleteService(manager.get());
    }
    const bool succeeded = error == ERROR_SUCCESS;
    const std::wstring message = InstallOutcomeMessage(command.action, succeeded, command.silent,
                                                       win32::SystemMessage(error));
    if (!message.empty()) {
        ::MessageBoxW(nullptr, message.c_str(), kServiceDisplayName,
                      MB_OK | (succeeded ? MB_ICONINFORMATION : MB_ICONERROR));
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    TService_watch service;  // ServiceCreate runs at every start
    theService = &service;

    std::vector<std::wstring> arguments;
    {
        int count = 0;
        wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        const win32::unique_hlocal argvMemory(argv);
        for (int i = 1; i < count; ++i) {
            arguments.emplace_back(argv[i]);
        }
    }
    const ServiceCommand command = ParseServiceCommandLine(arguments);
    if (command.action != ServiceAction::Run) {
        Install(service, command);
        return 0;
    }

    const win32::unique_handle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopRequested = stop.get();
    const win32::unique_handle ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    loopEnded = ended.get();
    std::thread dispatcher([&] {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain},
                                        {nullptr, nullptr}};
        if (!::StartServiceCtrlDispatcherW(table)) {
            service.Quit();  // not started by the service control manager
        }
    });
    const int exitCode = service.Run();
    ::SetEvent(loopEnded);
    dispatcher.join();
    return exitCode;
}
