#pragma once

// Steps of the configurator's own windows that the end-to-end tests take
// alike, driven from outside.

#include <windows.h>

#include <chrono>
#include <string>

#include "quarn/form1_ids.h"
#include "support/driver_win32.h"

namespace quarn::test {

// The start-up sequence locks the stored account; Wine has no account
// "quarn", so the configurator says so. True when that message came and was
// dismissed.
inline bool DismissUnknownAccount(DWORD processId, std::chrono::milliseconds within) {
    const HWND notFound = WaitForMessageText(processId, L"user not found !", within);
    if (notFound == nullptr) {
        return false;
    }
    PressOk(notFound);
    return true;
}

// Brings the working panel to the front and types the account's name over
// the user field's text, once the field takes input (it is disabled while an
// account is locked). False when it never did.
inline bool EnterAccountName(HWND form, const std::wstring& name) {
    ::PostMessageW(form, WM_COMMAND, form1::kStartHereId, 0);
    const HWND user = FindControl(form, form1::kUserId);
    if (!WaitUntil([&] { return ::IsWindowEnabled(user) != FALSE; }, std::chrono::seconds(5))) {
        return false;
    }
    SelectAll(user);
    TypeText(user, name);
    return true;
}

}  // namespace quarn::test
