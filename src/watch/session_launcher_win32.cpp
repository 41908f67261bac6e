#include <windows.h>

#include "system/error_win32.h"
#include "system/handle_win32.h"
#include "system/outside_programs.h"
#include "watch/process_queries.h"
#include "watch/process_queries_win32.h"
#include "watch/session_launcher_win32.h"

namespace quarn {
namespace {

using CreateEnvironmentBlockFunction = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using DestroyEnvironmentBlockFunction = BOOL(WINAPI*)(LPVOID);
using ActiveConsoleSessionFunction = DWORD(WINAPI*)();
using QueryUserTokenFunction = BOOL(WINAPI*)(ULONG, PHANDLE);

// An entry point looked up by name; the library stays loaded.
template <typename Function>
Function Resolve(const wchar_t* library, const char* name) {
    const HMODULE module = ::LoadLibraryW(library);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The user's environment block, destroyed with its owner.
class EnvironmentBlock {
  public:
    EnvironmentBlock(DestroyEnvironmentBlockFunction destroy) : destroy_(destroy) {}
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
    ~EnvironmentBlock() {
        if (block_ != nullptr) {
            destroy_(block_);
        }
    }
    LPVOID* put() { return &block_; }
    LPVOID get() const { return block_; }

  private:
    DestroyEnvironmentBlockFunction destroy_;
    LPVOID block_ = nullptr;
};

constexpr DWORD kCreationFlags =
    CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT | CREATE_DEFAULT_ERROR_MODE;

LaunchResult Failed(std::wstring what) {
    return {LaunchResult::Outcome::Failed, std::move(what)};
}

// The call that failed, the system's text for its code and the code.
LaunchResult CallFailed(const wchar_t* call, DWORD code) {
    return Failed(std::wstring(call) + L" failed: " + win32::SystemMessage(code) + L" (" +
                  std::to_wstring(code) + L")");
}

}  // namespace

LaunchResult LaunchInUserSession(const std::wstring& application, const std::wstring& commandLine,
                                 const std::wstring& workingDirectory) {
    if (IsProgramRunning(kDummyExe) || IsProgramRunning(L"quarn.exe")) {
        return {LaunchResult::Outcome::HeldBack, L""};  // configuration work is going on
    }
    const auto createEnvironment =
        Resolve<CreateEnvironmentBlockFunction>(L"userenv.dll", "CreateEnvironmentBlock");
    const auto destroyEnvironment =
        Resolve<DestroyEnvironmentBlockFunction>(L"userenv.dll", "DestroyEnvironmentBlock");
    if (createEnvironment == nullptr || destroyEnvironment == nullptr) {
        return Failed(L"userenv.dll has no CreateEnvironmentBlock or DestroyEnvironmentBlock");
    }
    const auto activeConsoleSession =
        Resolve<ActiveConsoleSessionFunction>(L"kernel32.dll", "WTSGetActiveConsoleSessionId");
    const auto queryUserToken =
        Resolve<QueryUserTokenFunction>(L"wtsapi32.dll", "WTSQueryUserToken");

    win32::unique_handle token;
    if (activeConsoleSession != nullptr && queryUserToken != nullptr) {
        if (!queryUserToken(activeConsoleSession(), token.put())) {
            return CallFailed(L"WTSQueryUserToken", ::GetLastError());
        }
    } else {
        const std::wstring shell = ReadMachineShell();
        token = OpenProcessTokenByName(shell);
        if (!token) {
            return Failed(L"no token of a running " + shell);
        }
    }
    EnvironmentBlock environment(destroyEnvironment);
    if (!createEnvironment(environment.put(), token.get(), FALSE)) {
        return CallFailed(L"CreateEnvironmentBlock", ::GetLastError());
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    std::wstring command = commandLine;  // the call may write into it
    win32::unique_process_information process;
    if (!::CreateProcessAsUserW(token.get(), application.c_str(), command.data(), nullptr, nullptr,
                                FALSE, kCreationFlags, environment.get(), workingDirectory.c_str(),
                                &startup, process.put())) {
        return CallFailed(L"CreateProcessAsUserW", ::GetLastError());
    }
    return {LaunchResult::Outcome::Started, L""};
}

std::wstring FindOnSystemPath(const std::wstring& fileName) {
    // The service's own folder and current folder, which SearchPathW would
    // look at first, are no place for the station's programs.
    const DWORD pathLength = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (pathLength == 0) {
        return {};
    }
    std::wstring path(pathLength, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), pathLength));
    std::wstring found(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::SearchPathW(path.c_str(), fileName.c_str(), nullptr,
                                           static_cast<DWORD>(found.size()), found.data(), nullptr);
        if (length == 0) {
            return {};
        }
        if (length < found.size()) {
            found.resize(length);
            return found;
        }
        found.resize(length);
    }
}

}  // namespace quarn
