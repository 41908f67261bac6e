// watch.exe: the service program. With "INSTALL" or "UNINSTALL" it registers
// or removes the service and exits; otherwise it runs as the service: the
// main thread runs the timers' message loop, a dispatcher thread connects to
// the service control manager, whose service thread handles the controls.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <thread>
#include <vector>

#include "service_commands.h"
#include "service_watch_win32.h"
#include "win32_error.h"
#include "win32_handle.h"

namespace {

using namespace quarn;

TService_watch* theService = nullptr;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopRequested = nullptr;

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
    Report(SERVICE_STOPPED);
}

std::wstring ExecutablePath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Registers or removes the service and says how it went.
void Install(TService_watch& service, const ServiceCommand& command) {
    bool succeeded = false;
    DWORD error = 0;
    const win32::unique_service manager(::OpenSCManagerW(
        nullptr, nullptr,
        command.action == ServiceAction::Install ? SC_MANAGER_CREATE_SERVICE : SC_MANAGER_CONNECT));
    if (manager) {
        if (command.action == ServiceAction::Install) {
            DWORD type = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
            service.ServiceBeforeInstall(type);
            const win32::unique_service created(
                ::CreateServiceW(manager.get(), kServiceName, kServiceDisplayName,
                                 SERVICE_ALL_ACCESS, type, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 ServiceImagePath(ExecutablePath()).c_str(), nullptr, nullptr,
                                 nullptr, nullptr, nullptr));
            succeeded = static_cast<bool>(created);
        } else {
            const win32::unique_service existing(
                ::OpenServiceW(manager.get(), kServiceName, DELETE));
            succeeded = existing && ::DeleteService(existing.get());
        }
    }
    if (!succeeded) {
        error = ::GetLastError();
    }
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

    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(argv[i]);
    }
    ::LocalFree(argv);
    const ServiceCommand command = ParseServiceCommandLine(arguments);
    if (command.action != ServiceAction::Run) {
        Install(service, command);
        return 0;
    }

    const win32::unique_handle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    stopRequested = stop.get();
    std::thread dispatcher([&] {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain},
                                        {nullptr, nullptr}};
        if (!::StartServiceCtrlDispatcherW(table)) {
            service.Quit();  // not started by the service control manager
        }
    });
    const int exitCode = service.Run();
    dispatcher.join();
    return exitCode;
}
