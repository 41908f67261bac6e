#include "support/reg_exe_win32.h"

#include <gtest/gtest.h>

#include "system/handle_win32.h"
#include "system/text_encoding.h"

namespace quarn::test {

DWORD RunReg(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        ADD_FAILURE() << "no system directory";
        return 0xFFFF;
    }
    const std::wstring program = std::wstring(system) + L"\\reg.exe";
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, process.put())) {
        ADD_FAILURE() << "reg.exe did not start: " << ::GetLastError();
        return 0xFFFF;
    }
    constexpr DWORD kGenerousLimit = 120000;
    if (::WaitForSingleObject(process.process(), kGenerousLimit) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "reg.exe " << Utf16ToUtf8(arguments) << " did not end";
        ::TerminateProcess(process.process(), 0xFFFE);
        ::WaitForSingleObject(process.process(), INFINITE);
        return 0xFFFE;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.process(), &code);
    return code;
}

}  // namespace quarn::test
