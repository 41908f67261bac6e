// The lock button's workflow and the two switches of the main window: the
// account's lock state, its automatic logon, and its shell.

#include <windows.h>

#include "quarn/form1_win32.h"
#include "quarn/locked_account_sid.h"
#include "quarn/logon_shell.h"
#include "system/accounts_win32.h"
#include "system/outside_programs.h"
#include "system/settings.h"
#include "system/system_queries.h"

namespace quarn {
namespace {

// The domain roles that put the account into the Administrators group while
// it is locked: a standalone server and a primary domain controller.
bool RoleChangesAdministrators() {
    return DomainRoleCode == L"2" || DomainRoleCode == L"5";
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

void TForm1::QUARNlockClick() {
    ::EnableWindow(QUARNUSER, FALSE);
    std::wstring controller;
    if (DomainRoleCode == L"1" && !Environment(L"USERDNSDOMAIN").empty()) {
        controller = GetDomainControllerName();
    }

    if (QUARNlock.Color() == kGreen) {
        ::EnableWindow(QUARNUSER, TRUE);
        QUARNlock.SetColor(kRed);
        QUARNlock.SetCaption(L"lock");
        ::SetWindowTextW(QUARNSID, L"");
        if (RoleChangesAdministrators()) {
            ChangeAdministrators(false);
        }
        return;
    }

    const AccountLookup lookup = GetAccountSid(controller, TextOf(QUARNUSER));
    const std::wstring sidText =
        lookup.error == 0 && lookup.sid ? SidToText(*lookup.sid) : std::wstring();
    if (sidText.empty()) {
        ::EnableWindow(QUARNUSER, TRUE);
        QUARNlock.SetColor(kRed);
        QUARNlock.SetCaption(L"lock");
        ::SetWindowTextW(QUARNSID, L"");
        dialogs_.ShowMessage(L"user not found !");
        return;
    }
    QUARNlock.SetColor(kGreen);
    QUARNlock.SetCaption(L"unlock");
    ::SetWindowTextW(QUARNSID, sidText.c_str());
    LockedAccountSid = sidText;
    if (RoleChangesAdministrators()) {
        ChangeAdministrators(true);
    }
    if (TextOf(USERPASSWORD).empty()) {
        SetFieldText(USERPASSWORD, L"tavri");
    }
    SetQuarnFlag();
    PrepareLockedAccount(DummyProgram());
    if (IsChecked(CompleteLockDown)) {
        SwitchShellToWatchdog();
    } else {
        SwitchShellToExplorer();
    }
    ClearQuarnFlag();
}

void TForm1::AutoLogonClick() {
    if (TextOf(QUARNUSER).empty()) {
        SetFieldText(QUARNUSER, L"quarn");
    }
    if (TextOf(USERPASSWORD).empty()) {
        SetFieldText(USERPASSWORD, L"tavri");
    }
    WriteAutoLogonAsChecked();
}

void TForm1::WriteAutoLogonAsChecked() {
    if (!Catalogues->RecordBeforeChange(
            LockedAccountSid, [](RestorePoint& point) { RecordAutoLogonChange(point); })) {
        return;
    }
    WriteAutoLogon(IsChecked(AutoLogon), TextOf(QUARNUSER), TextOf(USERPASSWORD));
}

void TForm1::ChangeAdministrators(bool add) {
    // The membership before the first change; one that cannot be asked is
    // not recorded, and the change is made as before.
    if (const std::optional<bool> member = LockedAccountIsAdministrator()) {
        const AdministratorsMembership before{LockedAccountMemberName(), *member};
        if (!Catalogues->RecordBeforeChange(LockedAccountSid, [&](RestorePoint& point) {
                point.RecordAdministrators(before);
            })) {
            return;
        }
    }
    if (add) {
        AddAccountToAdministrators();
    } else {
        RemoveAccountFromAdministrators();
    }
}

void TForm1::CompleteLockDownClick() {
    if (LoadingSettings) {
        return;
    }
    const bool checked = IsChecked(CompleteLockDown);
    if (Catalogues->PassRunning()) {
        // One pass at a time: the change is refused and the box shows the
        // state the running pass is applying.
        ::SendMessageW(CompleteLockDown, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
        return;
    }
    if (checked) {
        if (!Catalogues->ReloadLockCatalogue()) {
            // quarn.xml was refused ("Error loading file."): nothing is locked
            // down with a table the file did not give, and the box says so.
            ::SendMessageW(CompleteLockDown, BM_SETCHECK, BST_UNCHECKED, 0);
            return;
        }
    }
    // Nothing changes that the restore point could not record first; the
    // box goes back to what the station still has.
    if (!(checked ? SwitchShellToWatchdog() : SwitchShellToExplorer())) {
        ::SendMessageW(CompleteLockDown, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
        return;
    }
    WriteCompleteLockDown(checked);
    WriteAllClick();  // the hidden button's click
}

bool TForm1::SwitchShellToWatchdog() {
    return SwitchShellTo(WatchdogPath(ReadInstallDir()));
}

bool TForm1::SwitchShellToExplorer() {
    return SwitchShellTo(kExplorerExe);
}

bool TForm1::SwitchShellTo(const std::wstring& shell) {
    if (LockedAccountSid.empty()) {
        return true;
    }
    SetQuarnFlag();
    PrepareLockedAccount(DummyProgram());
    // The account's hive is loaded now (dummy.exe runs under it).
    const bool recorded = Catalogues->RecordBeforeChange(
        LockedAccountSid,
        [&](RestorePoint& point) { RecordAccountShellChange(point, LockedAccountSid); });
    if (recorded) {
        WriteAccountShell(LockedAccountSid, shell);
    }
    ClearQuarnFlag();
    return recorded;
}

}  // namespace quarn
