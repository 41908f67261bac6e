#pragma once

// Privileges of the process's token switched on for as long as an object
// lives (RegLoadKeyW needs the backup and restore privileges, RegSaveKeyW the
// backup privilege), and put back as they were when it goes.

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "system/handle_win32.h"

namespace quarn::win32 {

class EnabledPrivileges {
  public:
    // Raises Error naming the privilege and the call when the token cannot
    // have one of them (an account that does not hold it, or a token that
    // cannot be adjusted); nothing stays changed then.
    explicit EnabledPrivileges(std::initializer_list<const wchar_t*> names);
    ~EnabledPrivileges();
    EnabledPrivileges(const EnabledPrivileges&) = delete;
    EnabledPrivileges& operator=(const EnabledPrivileges&) = delete;

  private:
    unique_handle token_;
    std::vector<BYTE> previous_;  // a TOKEN_PRIVILEGES: the states before
};

// Whether the privilege is switched on in the process's token now.
bool PrivilegeEnabled(const wchar_t* name);

}  // namespace quarn::win32
