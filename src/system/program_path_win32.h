#pragma once

// The running program's own file, however long its path (Windows only).

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
