// The Wine test build's stand-in for the account database calls: each call
// and its arguments go to a journal file (QUARN_ACCOUNT_JOURNAL, or
// account-journal.txt beside the executable), and dummy.exe is started as a
// plain process. Never linked into the product.

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "system/accounts_platform_win32.h"
#include "system/handle_win32.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

std::filesystem::path JournalFile() {
    wchar_t path[MAX_PATH] = {};
    if (::GetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", path, MAX_PATH) > 0) {
        return path;
    }
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path() / L"account-journal.txt";
}

void Note(const std::wstring& line) {
    std::ofstream(JournalFile(), std::ios::app) << Utf16ToUtf8(line) << "\n";
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

}  // namespace

DWORD ChangeLocalGroupMember(const std::wstring& group, const std::wstring& member, bool add) {
    Note(std::wstring(add ? L"NetLocalGroupAddMembers" : L"NetLocalGroupDelMembers") + L" group=" +
         Quoted(group) + L" member=" + Quoted(member));
    return 0;
}

// Membership as the journal's earlier changes left it: a member after an
// addition, not after a removal or before any change.
std::optional<bool> IsLocalGroupMember(const std::wstring& group, const std::wstring& member) {
    const std::string tail = Utf16ToUtf8(L" group=" + Quoted(group) + L" member=" + Quoted(member));
    bool isMember = false;
    std::ifstream journal(JournalFile());
    for (std::string line; std::getline(journal, line);) {
        if (line == "NetLocalGroupAddMembers" + tail) {
            isMember = true;
        } else if (line == "NetLocalGroupDelMembers" + tail) {
            isMember = false;
        }
    }
    Note(L"NetLocalGroupGetMembers group=" + Quoted(group) + L" member=" + Quoted(member));
    return isMember;
}

bool SetAccountPassword(const std::wstring& server, const std::wstring& account,
                        const std::wstring& password) {
    Note(L"NetUserSetInfo server=" + Quoted(server) + L" account=" + Quoted(account) +
         L" password=" + Quoted(password));
    return true;
}

bool RunAsAccount(const std::wstring& account, const std::wstring& domain,
                  const std::wstring& password, const std::wstring& application,
                  const std::wstring& commandLine, DWORD creationFlags, void*) {
    Note(L"CreateProcessWithLogonW account=" + Quoted(account) + L" domain=" + Quoted(domain) +
         L" password=" + Quoted(password) + L" application=" + Quoted(application) +
         L" commandLine=" + Quoted(commandLine) + L" flags=" + std::to_wstring(creationFlags));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    std::wstring command = L"\"" + application + L"\" " + commandLine;
    return ::CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, process.put()) != FALSE;
}

}  // namespace quarn
