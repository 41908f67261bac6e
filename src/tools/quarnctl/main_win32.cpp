// quarnctl on Windows: UTF-16 arguments, output in the console's own way
// (Unicode on a console window, the console's code page when redirected), and
// the Windows-only commands.

#include <windows.h>

#include <sstream>

#include "system/text_encoding.h"
#include "tools/quarnctl/audit_station_win32.h"
#include "tools/quarnctl/quarnctl.h"
#include "tools/quarnctl/restore_command_win32.h"
#include "tools/quarnctl/shell_commands_win32.h"
#include "tools/quarnctl/status_command_win32.h"

namespace {

void Write(DWORD which, const std::string& utf8) {
    if (utf8.empty()) {
        return;
    }
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring text = quarn::Utf8ToUtf16(utf8);
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(handle, &mode)) {
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0) {
        codePage = ::GetOEMCP();
    }
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(quarn::Utf16ToUtf8(argv[i]));
    }
    std::ostringstream out;
    std::ostringstream err;
    std::vector<quarn::PlatformCommand> commands = quarn::ShellCommands();
    for (auto* more : {&quarn::RestoreCommands, &quarn::StatusCommands, &quarn::AuditCommands}) {
        for (quarn::PlatformCommand& command : more()) {
            commands.push_back(std::move(command));
        }
    }
    const int status = quarn::RunQuarnctl(args, out, err, commands);
    Write(STD_OUTPUT_HANDLE, out.str());
    Write(STD_ERROR_HANDLE, err.str());
    return status;
}
