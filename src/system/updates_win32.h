#pragma once

// The Windows side of the updates: quarn.ini beside the running executable
// through the profile functions, and the release number on the maker's web
// server.

#include <chrono>
#include <optional>
#include <string>

namespace quarn {

// The folder of the running executable, and quarn.ini in it.
std::wstring ExecutableFolder();
std::wstring IniBesideExecutable();

// GetPrivateProfileStringW / WritePrivateProfileStringW on quarn.ini,
// section "Update". Writing raises Error when it fails.
std::wstring ReadUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                               const std::wstring& fallback);
void WriteUpdateSetting(const std::wstring& iniPath, const std::wstring& key,
                        const std::wstring& value);

// One HTTP GET with a client of its own, without proxy or credentials. The
// body of a 200 reply, at most 64 KiB; nothing on any failure, and nothing
// once the whole request has taken longer than budget.
std::optional<std::string> HttpGet(const std::wstring& url, std::chrono::seconds budget);

// The release number in the update-information file that quarn.ini names
// ("QUARNUpdateURL"): its digits and dots; empty on any failure, within
// about 15 seconds.
std::wstring FetchRemoteRelease(const std::wstring& iniPath);

}  // namespace quarn
