#pragma once

// TForm1, the configurator's main window: the locked-down account's settings,
// the lock button, the "Lock Down" and "Auto Logon" switches, the catalogue
// pass with its progress bar, an information panel and a small menu.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/catalogue_pass.h"
#include "quarn/color_button_win32.h"
#include "quarn/form_dialogs_win32.h"
#include "quarn/locked_account_sid.h"
#include "quarn/window_win32.h"
#include "system/gdi_win32.h"
#include "system/updates_win32.h"

namespace quarn {

class TForm1 final : public Window, private CatalogueWindow {
  public:
    struct Options {
        // The folder of quarn.xml, quarn.ini and dummy.exe: the
        // configurator's own.
        std::filesystem::path programFolder;
        std::chrono::milliseconds rowPause = kRowPause;
        // Shown after the caption, for builds that are not the product.
        std::wstring buildNote;
        // How long the update check waits for the update-information file.
        std::chrono::milliseconds updateTimeLimit = kUpdateTimeLimit;
    };

    // Creates the window (not yet shown) and its controls.
    TForm1(FormDialogs& dialogs, Options options);
    ~TForm1() override;

    // Shows the window: FormShow, then the window appears and is activated.
    void Show();

    // The event operations, under their names. Each runs inside the
    // top-level error report when the window calls it.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void Timer1Timer();
    void Timer2Timer();
    void QUARNUSERChange();
    void USERPASSWORDChange();
    void QUARNProgramChange();
    void QUARNParameterChange();
    void QUARNProgramDblClick();
    void ShowPassClick();
    void Button1Click();
    void QUARNlockClick();
    void AutoLogonClick();
    void CompleteLockDownClick();
    void WriteAllClick();
    void OpenxmlFile1Click();
    void Starthere1Click();
    void Exit1Click();
    void RestoreStationClick();
    void Help1Click();
    void About1Click();
    void Image1Click();

    // The update check of the start-up sequence, and the download it offers
    // (checked against the installer's digest when the update-information
    // file names one).
    void CheckForUpdate();
    void StartUpdateDownload(const std::optional<std::string>& installerSha256);
    // The update window, created after this one.
    void SetUpdateWindow(class TForm7* window) { updateWindow_ = window; }

    // The shell switch of the locked-down account (also used by locking).
    // Each returns false when the restore point could not record the change
    // (the error is shown); the shell is not changed then.
    bool SwitchShellToWatchdog();
    bool SwitchShellToExplorer();
    bool SwitchShellTo(const std::wstring& shell);
    // The automatic logon as the box says, once the restore point holds the
    // values it writes.
    void WriteAutoLogonAsChecked();
    // The Administrators membership recorded, then changed.
    void ChangeAdministrators(bool add);

    // Runs an event operation; an error that leaves it goes to the error report.
    template <typename Operation>
    void Guarded(Operation&& operation);

    // Controls, for the window's own code and for tests.
    HWND PanelSystem = nullptr;
    HWND PanelAbout = nullptr;
    HWND QUARNUSER = nullptr;
    HWND USERPASSWORD = nullptr;
    HWND QUARNProgram = nullptr;
    HWND QUARNParameter = nullptr;
    TColorButton QUARNlock;
    TColorButton ShowPass;
    HWND CompleteLockDown = nullptr;
    HWND AutoLogon = nullptr;
    HWND Button1 = nullptr;
    HWND ProgressBar1 = nullptr;
    HWND WriteAll = nullptr;
    HWND Label3 = nullptr;
    HWND QUARNSID = nullptr;
    HWND Label2 = nullptr;
    HWND Release = nullptr;
    HWND Image1 = nullptr;
    HWND Image2 = nullptr;
    HMENU MainMenu1 = nullptr;
    FileDialogRequest OpenDialog1;
    std::unique_ptr<PolicyCatalogues> Catalogues;  // CDSLOCK and CDSUNLOCK
    bool LoadingSettings = false;

    // Sets a check box as the program does: its click operation runs when
    // the state changes.
    void SetChecked(HWND box, bool checked);
    static bool IsChecked(HWND box);
    static std::wstring TextOf(HWND control);
    // The panel in front.
    HWND FrontPanel() const;

  private:
    void ReportError(const std::exception& error);
    // Sets an edit field as the program does: its change operation runs when
    // the text changes.
    void SetFieldText(HWND field, const std::wstring& text);
    void RunChangeOperation(HWND field);
    void CreateControls();
    void BringToFront(HWND panel);
    void StoreField(HWND field, const wchar_t* valueName);
    std::wstring DummyProgram() const;

    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnActivate(WORD state) override;
    bool OnClose() override;
    bool OnDestroy() override;
    bool OnDrawItem(DRAWITEMSTRUCT& item) override;
    bool OnMeasureItem(MEASUREITEMSTRUCT& item) override;
    std::optional<LRESULT> OnControlColor(HDC dc, HWND control) override;

    // CatalogueWindow: what the catalogue pass needs of this window.
    bool LockDownChecked() override;
    void SetMenuEnabled(bool enabled) override;
    void SetProgressVisible(bool visible) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;
    void ProcessMessages() override;
    std::optional<std::filesystem::path> ChooseCatalogueFile() override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

    FormDialogs& dialogs_;
    Options options_;
    win32::unique_hfont font_;
    win32::unique_hfont boldFont_;
    win32::unique_hfont titleFont_;
    bool started_ = false;         // the start-up sequence ran already
    bool closeAfterPass_ = false;  // a close asked for during a pass
    bool settingField_ = false;    // SetFieldText runs the change operation itself
    class TForm7* updateWindow_ = nullptr;
};

template <typename Operation>
void TForm1::Guarded(Operation&& operation) {
    try {
        operation();
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

}  // namespace quarn
