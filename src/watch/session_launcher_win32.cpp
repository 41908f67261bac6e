#include <windows.h>

#include "outside_programs.h"
#include "process_queries.h"
#include "process_queries_win32.h"
#include "session_launcher_win32.h"
#include "win32_handle.h"

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

}  // namespace

bool LaunchInUserSession(const std::wstring& application, const std::wstring& commandLine,
                         const std::wstring& workingDirectory) {
    if (IsProgramRunning(kDummyExe) || IsProgramRunning(L"quarn.exe")) {
        return false;  // configuration work is going on
    }
    const auto createEnvironment =
        Resolve<CreateEnvironmentBlockFunction>(L"userenv.dll", "CreateEnvironmentBlock");
    const auto destroyEnvironment =
        Resolve<DestroyEnvironmentBlockFunction>(L"userenv.dll", "DestroyEnvironmentBlock");
    if (createEnvironment == nullptr || destroyEnvironment == nullptr) {
        return false;
    }
    const auto activeConsoleSession =
        Resolve<ActiveConsoleSessionFunction>(L"kernel32.dll", "WTSGetActiveConsoleSessionId");
    const auto queryUserToken =
        Resolve<QueryUserTokenFunction>(L"wtsapi32.dll", "WTSQueryUserToken");

    win32::unique_handle token;
    if (activeConsoleSession != nullptr && queryUserToken != nullptr) {
        queryUserToken(activeConsoleSession(), token.put());
    } else {
        token = OpenProcessTokenByName(ReadMachineShell());
    }
    if (!token) {
        return false;
    }
    EnvironmentBlock environment(destroyEnvironment);
    if (!createEnvironment(environment.put(), token.get(), FALSE)) {
        return false;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    std::wstring command = commandLine;  // the call may write into it
    PROCESS_INFORMATION process{};
    const bool created =
        ::CreateProcessAsUserW(token.get(), application.c_str(), command.data(), nullptr, nullptr,
                               FALSE, kCreationFlags, environment.get(), workingDirectory.c_str(),
                               &startup, &process) != FALSE;
    if (created) {
        const win32::unique_handle thread(process.hThread);
        const win32::unique_handle child(process.hProcess);
    }
    return created;
}

}  // namespace quarn
