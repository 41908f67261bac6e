#pragma once

// The registry hive of one Windows account, reachable below HKEY_USERS for as
// long as an AccountHive lives (Windows only).
//
// Windows keeps an account's hive loaded as HKEY_USERS\<SID> while the
// account is logged on or a program runs under it. Otherwise the object loads
// the account's NTUSER.DAT (in the profile folder that ProfileList names for
// the SID) under a private key name, with the backup and restore privileges
// switched on, and unloads it again when it goes. Callers address the hive
// through KeyName() with the registry layer (RegistryRoot::Users), whichever
// way it was reached; they close their keys before the object goes, since a
// hive with open keys cannot be unloaded. One object per account at a time.

#include <memory>
#include <optional>
#include <string>

#include "system/error.h"
#include "system/privileges_win32.h"

namespace quarn {

// The profiles Windows knows, one key per SID with "ProfileImagePath".
inline constexpr wchar_t kProfileListKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
// An account's hive loaded by an AccountHive lies below HKEY_USERS under this
// prefix followed by the SID.
inline constexpr wchar_t kPrivateHivePrefix[] = L"QUARN-";

enum class HiveFailure {
    NoAccount,    // no user account of that name
    NoProfile,    // the account has no profile (it never logged on), so no hive
    Unreachable,  // the hive could not be found or loaded
};

class AccountHiveError : public Error {
  public:
    AccountHiveError(HiveFailure failure, const std::string& message)
        : Error(message), failure_(failure) {}
    HiveFailure Failure() const { return failure_; }

  private:
    HiveFailure failure_;
};

class AccountHive {
  public:
    // The hive of the user account of that name on this computer. Raises
    // AccountHiveError.
    static AccountHive OfAccount(const std::wstring& accountName);
    // The hive of the account with that SID text (S-1-5-...). Raises
    // AccountHiveError.
    explicit AccountHive(const std::wstring& sid);
    ~AccountHive();
    AccountHive(const AccountHive&) = delete;
    AccountHive& operator=(const AccountHive&) = delete;

    const std::wstring& Sid() const { return sid_; }
    // The key below HKEY_USERS that holds the hive while the object lives:
    // the SID itself, or kPrivateHivePrefix and the SID.
    const std::wstring& KeyName() const { return keyName_; }
    // Whether this object loaded the hive (and unloads it when it goes).
    bool LoadedHere() const { return privileges_.has_value(); }

  private:
    std::wstring sid_;
    std::wstring keyName_;
    // Held while the hive is loaded here: unloading needs them too.
    std::optional<win32::EnabledPrivileges> privileges_;
};

// AccountHive::OfAccount for a caller that keeps the hive beside other state:
// made in place on the heap, since an AccountHive is neither copied nor
// moved. Raises AccountHiveError.
inline std::unique_ptr<AccountHive> HiveOfAccount(const std::wstring& accountName) {
    return std::unique_ptr<AccountHive>(new AccountHive(AccountHive::OfAccount(accountName)));
}

}  // namespace quarn
