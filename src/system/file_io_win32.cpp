#include <windows.h>

#include <algorithm>

#include "system/error_win32.h"
#include "system/file_io.h"
#include "system/handle_win32.h"

namespace quarn {
namespace {

[[noreturn]] void Raise(std::string_view what, const std::filesystem::path& path, DWORD error) {
    throw Error(std::string(what) + " \"" + PathText(path) +
                "\": " + win32::SystemMessageUtf8(error));
}

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
    const win32::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!file) {
        Raise("Cannot open file", path, ::GetLastError());
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        Raise("Cannot read file", path, ::GetLastError());
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxFileSize) {
        Raise("Cannot read file", path, ERROR_FILE_TOO_LARGE);
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                        &got, nullptr)) {
            Raise("Cannot read file", path, ::GetLastError());
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path absolute = std::filesystem::absolute(path);
    wchar_t temporary[MAX_PATH + 1] = {};
    if (::GetTempFileNameW(absolute.parent_path().c_str(), L"qrn", 0, temporary) == 0) {
        Raise("Cannot create file", path, ::GetLastError());
    }
    // The temporary file is written and closed before anything else happens
    // to it: opened without sharing, it could not be deleted while open.
    const DWORD written = [&]() -> DWORD {
        const win32::unique_file file(::CreateFileW(temporary, GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return ::GetLastError();
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD wrote = 0;
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
            if (!::WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr)) {
                return ::GetLastError();
            }
            done += wrote;
        }
        return ::FlushFileBuffers(file.get()) ? ERROR_SUCCESS : ::GetLastError();
    }();
    DWORD error = written;
    if (error == ERROR_SUCCESS &&
        !::MoveFileExW(temporary, absolute.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        ::DeleteFileW(temporary);
        Raise("Cannot write file", path, error);
    }
}

}  // namespace quarn
