#include "system/account_hive_win32.h"

#include "system/account_sid_win32.h"
#include "system/error_win32.h"
#include "system/registry_access.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

bool UsersKeyExists(const std::wstring& name) {
    RegistryAccess users(kKeyRead);
    users.SetRootKey(RegistryRoot::Users);
    return users.OpenKey(L"\\" + name, false);
}

std::wstring Expanded(const std::wstring& text) {
    const DWORD size = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    std::wstring expanded(size, L'\0');
    if (size == 0 || ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size) != size) {
        return text;
    }
    expanded.resize(size - 1);
    return expanded;
}

// The hive file of the profile ProfileList names for the SID.
std::wstring HiveFileOf(const std::wstring& sid) {
    const std::string account = "The account " + Utf16ToUtf8(sid);
    RegistryAccess profiles(kKeyRead);
    profiles.SetRootKey(RegistryRoot::LocalMachine);
    if (!profiles.OpenKey(std::wstring(kProfileListKey) + L"\\" + sid, false)) {
        throw AccountHiveError(HiveFailure::NoProfile, account + " has no profile");
    }
    std::wstring folder;
    try {
        folder = profiles.ReadString(L"ProfileImagePath");
    } catch (const RegistryError& error) {
        throw AccountHiveError(
            HiveFailure::Unreachable,
            account + ": its profile folder cannot be read (" + error.what() + ")");
    }
    if (folder.empty()) {
        throw AccountHiveError(HiveFailure::NoProfile, account + " has no profile folder");
    }
    folder = Expanded(folder);
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder + L"NTUSER.DAT";
}

}  // namespace

AccountHive AccountHive::OfAccount(const std::wstring& accountName) {
    const AccountLookup lookup = GetAccountSid(L"", accountName);
    const std::string account = "the account \"" + Utf16ToUtf8(accountName) + "\"";
    if (!lookup.sid) {
        if (lookup.error == ERROR_NONE_MAPPED) {
            throw AccountHiveError(HiveFailure::NoAccount,
                                   "There is no user account \"" + Utf16ToUtf8(accountName) + "\"");
        }
        throw AccountHiveError(HiveFailure::Unreachable,
                               "The SID of " + account + " cannot be found (LookupAccountNameW: " +
                                   win32::SystemMessageUtf8(lookup.error) + ")");
    }
    const std::wstring sid = SidToText(*lookup.sid);
    if (sid.empty()) {
        throw AccountHiveError(
            HiveFailure::Unreachable,
            "The SID of " + account + " has no text form (ConvertSidToStringSidW)");
    }
    return AccountHive(sid);
}

AccountHive::AccountHive(const std::wstring& sid) : sid_(sid), keyName_(sid) {
    if (UsersKeyExists(sid_)) {
        return;  // Windows has it loaded
    }
    const std::wstring file = HiveFileOf(sid_);
    try {
        privileges_.emplace({SE_BACKUP_NAME, SE_RESTORE_NAME});
    } catch (const Error& error) {
        throw AccountHiveError(HiveFailure::Unreachable, "The hive " + Utf16ToUtf8(file) +
                                                             " cannot be loaded: " + error.what());
    }
    keyName_ = kPrivateHivePrefix + sid_;
    // A run that was ended while it had the hive loaded left it there; it
    // would keep the file from Windows at the account's next logon.
    if (UsersKeyExists(keyName_)) {
        ::RegUnLoadKeyW(HKEY_USERS, keyName_.c_str());
    }
    const LSTATUS result = ::RegLoadKeyW(HKEY_USERS, keyName_.c_str(), file.c_str());
    if (result != ERROR_SUCCESS) {
        privileges_.reset();
        throw AccountHiveError(HiveFailure::Unreachable,
                               "The hive " + Utf16ToUtf8(file) + " of the account " +
                                   Utf16ToUtf8(sid_) + " cannot be loaded (RegLoadKeyW: " +
                                   win32::SystemMessageUtf8(static_cast<DWORD>(result)) + ")");
    }
}

AccountHive::~AccountHive() {
    if (privileges_) {
        ::RegUnLoadKeyW(HKEY_USERS, keyName_.c_str());
    }
}

}  // namespace quarn
