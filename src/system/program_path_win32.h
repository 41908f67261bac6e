#pragma once

// The running program's own file and its folder, however long the path
// (Windows only).

#include <windows.h>

#include <filesystem>
#include <string>

namespace quarn::win32 {

// Empty when Windows cannot say.
inline std::filesystem::path ThisProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace quarn::win32

namespace quarn {

// The folder of the running executable (where the configurator keeps
// quarn.xml, quarn.ini and the restore point); "." when Windows cannot say.
inline std::wstring ExecutableFolder() {
    const std::filesystem::path program = win32::ThisProgramPath();
    return program.has_parent_path() ? program.parent_path().wstring() : L".";
}

}  // namespace quarn
