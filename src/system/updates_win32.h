#pragma once

// The Windows side of the updates: quarn.ini beside the running executable
// through the profile functions, and the release number on the maker's web
// server.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "system/program_path_win32.h"
#include "system/update_ini.h"

namespace quarn {

// quarn.ini in the folder of the running executable (ExecutableFolder).
std::wstring IniBesideExecutable();

// GetPrivateProfileStringW / WritePrivateProfileStringW on quarn.ini,
// section "Update". Writing raises Error when it fails.
std::wstring ReadUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                               const std::wstring& fallback);
void WriteUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                        const std::wstring& value);

// The update check's time limit: the whole exchange (name, connection,
// request, reply) ends by then, however slowly the server sends.
inline constexpr std::chrono::seconds kUpdateTimeLimit{15};

// How the caller waits for a reply. The service's tick simply blocks; the
// configurator's window goes on handling its messages.
struct HttpWait {
    std::chrono::milliseconds limit = kUpdateTimeLimit;
    // Handles the waiting thread's window messages whenever some arrive;
    // false ends the wait (the program is closing). Without it the thread
    // handles no messages meanwhile.
    std::function<bool()> handleMessages;
};

// One HTTP GET with a client of its own, without proxy or credentials. The
// body of a 2xx reply, at most 64 KiB; nothing on any failure, and nothing
// once the limit has passed.
std::optional<std::string> HttpGet(const std::wstring& url, const HttpWait& wait);

// The update-information file that quarn.ini names ("QUARNUpdateURL"): its
// release and the installer's digest; an empty release on any failure.
UpdateInformation FetchUpdateInformation(const std::wstring& iniPath, const HttpWait& wait);
// Its release alone, within kUpdateTimeLimit, for the service's tick.
std::wstring FetchRemoteRelease(const std::wstring& iniPath);

}  // namespace quarn
