#include "win32_station.h"

#include "file_io.h"
#include "process_list.h"
#include "registry_access.h"
#include "text_case.h"
#include "win32_handle.h"

namespace quarn::test {

bool Running(const wchar_t* name) {
    for (const ProcessEntry& entry : ListProcesses()) {
        if (EqualsIgnoringCaseAZ(entry.exeFile, name)) {
            return true;
        }
    }
    return false;
}

void EndAll(const wchar_t* name) {
    for (const ProcessEntry& entry : ListProcesses()) {
        if (EqualsIgnoringCaseAZ(entry.exeFile, name)) {
            const win32::unique_handle process(
                ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.processId));
            ::TerminateProcess(process.get(), 0);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
}

DWORD RunToEnd(const std::filesystem::path& program, const std::wstring& arguments,
               std::chrono::milliseconds within) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        return 0xFFFF;
    }
    const win32::unique_handle thread(process.hThread);
    const win32::unique_handle child(process.hProcess);
    if (::WaitForSingleObject(child.get(), static_cast<DWORD>(within.count())) != WAIT_OBJECT_0) {
        ::TerminateProcess(child.get(), 1);
        return 0xFFFE;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(child.get(), &code);
    return code;
}

DWORD ServiceState(SC_HANDLE service) {
    SERVICE_STATUS status{};
    ::QueryServiceStatus(service, &status);
    return status.dwCurrentState;
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
    std::vector<std::string> lines;
    if (!FileExists(log)) {
        return lines;
    }
    const std::string text = ReadWholeFile(log);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break;  // still being written
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace quarn::test
