#include "quarn/form1_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

#include "quarn/about_pictures_win32.h"
#include "quarn/application_win32.h"
#include "quarn/form1_ids.h"
#include "quarn/form7_win32.h"
#include "quarn/logon_shell.h"
#include "system/admin_password.h"
#include "system/file_io.h"
#include "system/outside_programs.h"
#include "system/release.h"
#include "system/settings.h"
#include "system/station_restore.h"
#include "system/station_restore_win32.h"
#include "system/system_queries.h"
#include "system/text_encoding.h"
#include "system/update_ini.h"
#include "system/updates_win32.h"

namespace quarn {
namespace {

using namespace form1;

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kTimer2 = 2;
constexpr UINT kTimer1Interval = 1000;
constexpr UINT kTimer2Interval = 100;
constexpr int kClientWidth = 514;
constexpr int kClientHeight = 271;

constexpr wchar_t kPanelClass[] = L"QUARNPanel";

// A panel hands what its controls report to the window it stands on.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ::SendMessageW(::GetParent(panel), message, wParam, lParam);
        default:
            return ::DefWindowProcW(panel, message, wParam, lParam);
    }
}

HWND CreatePanel(HWND parent) {
    static const ATOM registered = [] {
        WNDCLASSEXW panelClass{};
        panelClass.cbSize = sizeof panelClass;
        panelClass.lpfnWndProc = PanelProc;
        panelClass.hInstance = ::GetModuleHandleW(nullptr);
        panelClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        panelClass.lpszClassName = kPanelClass;
        return ::RegisterClassExW(&panelClass);
    }();
    (void)registered;
    return ::CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, kClientWidth,
                             kClientHeight, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

win32::unique_hfont MakeFont(int height, int weight) {
    return win32::unique_hfont(::CreateFontW(
        height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
}

HWND MakeControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 DWORD exStyle, int id, int x, int y, int width, int height, HFONT font) {
    const HWND control =
        ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                          height, parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)),
                          ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

HWND MakeLabel(HWND parent, const wchar_t* text, int x, int y, int width, int height, HFONT font) {
    return MakeControl(parent, L"STATIC", text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, -1, x, y, width,
                       height, font);
}

HWND MakeEdit(HWND parent, int id, int x, int y, int width, HFONT font, DWORD extra = 0) {
    return MakeControl(parent, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL | extra, WS_EX_CLIENTEDGE,
                       id, x, y, width, 21, font);
}

// The application field reports double-clicks to its window.
LRESULT CALLBACK ProgramFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR form) {
    if (message == WM_LBUTTONDBLCLK) {
        auto* self = reinterpret_cast<TForm1*>(form);
        self->Guarded([&] { self->QUARNProgramDblClick(); });
        return 0;
    }
    return ::DefSubclassProc(field, message, wParam, lParam);
}

// A chosen file as Windows writes its paths: the watch service and the
// watchdog take "Program" as such.
std::wstring WithBackslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

}  // namespace

TForm1::TForm1(FormDialogs& dialogs, Options options)
    : dialogs_(dialogs), options_(std::move(options)) {
    const int dpi = ::GetDeviceCaps(win32::unique_window_dc(nullptr).get(), LOGPIXELSY);
    font_ = MakeFont(-::MulDiv(8, dpi, 72), FW_NORMAL);
    boldFont_ = MakeFont(-::MulDiv(8, dpi, 72), FW_BOLD);
    titleFont_ = MakeFont(-24, FW_BOLD);

    // A fixed frame with only the close box, the client area centred.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    MainMenu1 = ::CreateMenu();
    const HMENU system = ::CreatePopupMenu();
    ::AppendMenuW(system, MF_STRING, kOpenXmlId, L"Open *.xml File");
    ::AppendMenuW(system, MF_STRING, kStartHereId, L"Start here");
    ::AppendMenuW(system, MF_STRING, kExitId, L"Exit");
    ::AppendMenuW(system, MF_STRING, kRestoreStationId, L"Restore the station");
    const HMENU help = ::CreatePopupMenu();
    ::AppendMenuW(help, MF_STRING, kHelpId, L"Help");
    ::AppendMenuW(help, MF_STRING, kAboutId, L"About");
    ::AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(system), L"System");
    ::AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"?");
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, style, TRUE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT desktop{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &desktop, 0);
    Create(L"TForm1", WS_EX_CONTROLPARENT, (L"QUARN" + options_.buildNote).c_str(), style,
           desktop.left + (desktop.right - desktop.left - width) / 2,
           desktop.top + (desktop.bottom - desktop.top - height) / 2, width, height,
           Application::Instance().Handle(), MainMenu1);
    CreateControls();
    CatalogueWindow& window = *this;
    Catalogues = std::make_unique<PolicyCatalogues>(options_.programFolder, window,
                                                    DefaultRegistry(), options_.rowPause);
    Application::Instance().SetMainWindow(Handle());
    Guarded([&] { FormCreate(); });
}

TForm1::~TForm1() {
    Catalogues.reset();
    if (Handle() != nullptr) {
        ::DestroyWindow(Handle());  // before its fonts go
    }
}

void TForm1::CreateControls() {
    PanelSystem = CreatePanel(Handle());
    PanelAbout = CreatePanel(Handle());

    MakeLabel(PanelSystem, L"QUARN Username", 16, 10, 200, 14, font_.get());
    QUARNUSER = MakeEdit(PanelSystem, kUserId, 16, 26, 200, font_.get());
    QUARNlock.Create(PanelSystem, kLockId, L"Lock", 226, 25, 90, 24, font_.get());
    MakeLabel(PanelSystem, L"QUARN User Password", 16, 56, 200, 14, font_.get());
    // Masked from the start: the stored password is never shown unasked.
    USERPASSWORD = MakeEdit(PanelSystem, kPasswordId, 16, 72, 200, font_.get(), ES_PASSWORD);
    ::SendMessageW(USERPASSWORD, EM_SETPASSWORDCHAR, L'*', 0);
    ShowPass.Create(PanelSystem, kShowPassId, L"visible", 226, 71, 90, 24, font_.get());
    CompleteLockDown =
        MakeControl(PanelSystem, L"BUTTON", L"Lock Down", WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                    kLockDownId, 340, 27, 150, 20, font_.get());
    AutoLogon = MakeControl(PanelSystem, L"BUTTON", L"Auto Logon", WS_TABSTOP | BS_AUTOCHECKBOX, 0,
                            kAutoLogonId, 340, 73, 150, 20, font_.get());
    MakeLabel(PanelSystem, L"QUARN Application", 16, 102, 300, 14, font_.get());
    QUARNProgram = MakeEdit(PanelSystem, kProgramId, 16, 118, 300, font_.get());
    ::SetWindowSubclass(QUARNProgram, ProgramFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));
    MakeLabel(PanelSystem, L"QUARN Application Parameter", 328, 102, 184, 14, font_.get());
    QUARNParameter = MakeEdit(PanelSystem, kParameterId, 328, 118, 170, font_.get());
    ProgressBar1 = ::CreateWindowExW(
        0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_SMOOTH, 16, 154, 482, 16, PanelSystem,
        reinterpret_cast<HMENU>(static_cast<std::intptr_t>(kProgressBarId)),
        ::GetModuleHandleW(nullptr), nullptr);
    Label3 = MakeLabel(PanelSystem, L"SID:", 16, 180, 30, 16, boldFont_.get());
    QUARNSID = MakeLabel(PanelSystem, L"SID", 48, 180, 450, 16, boldFont_.get());
    ::SetWindowLongPtrW(QUARNSID, GWLP_ID, kSidLabelId);
    Button1 = MakeControl(PanelSystem, L"BUTTON", L"Password", WS_TABSTOP | BS_PUSHBUTTON, 0,
                          kPasswordButtonId, 408, 234, 90, 25, font_.get());
    WriteAll = ::CreateWindowExW(0, L"BUTTON", L"WriteAll", WS_CHILD | BS_PUSHBUTTON, 0, 0, 75, 25,
                                 PanelSystem,
                                 reinterpret_cast<HMENU>(static_cast<std::intptr_t>(kWriteAllId)),
                                 ::GetModuleHandleW(nullptr), nullptr);

    Label2 = MakeLabel(PanelAbout, L"QUARN", 16, 8, 200, 32, titleFont_.get());
    Release = MakeLabel(PanelAbout, L"Release", 16, 44, 300, 16, font_.get());
    ::SetWindowLongPtrW(Release, GWLP_ID, kReleaseLabelId);
    Image1 = MakeControl(PanelAbout, L"STATIC", L"", SS_OWNERDRAW | SS_NOTIFY, 0, kImage1Id, 16, 68,
                         300, 190, font_.get());
    Image2 = MakeControl(PanelAbout, L"STATIC", L"", SS_OWNERDRAW, 0, kImage2Id, 356, 20, 140, 140,
                         font_.get());
    BringToFront(PanelSystem);
}

HWND TForm1::FrontPanel() const {
    return ::IsWindowVisible(PanelAbout) ? PanelAbout : PanelSystem;
}

void TForm1::BringToFront(HWND panel) {
    const HWND other = panel == PanelSystem ? PanelAbout : PanelSystem;
    ::ShowWindow(other, SW_HIDE);
    ::SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void TForm1::Show() {
    Guarded([&] { FormShow(); });
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::SetActiveWindow(Handle());
}

void TForm1::ReportError(const std::exception& error) {
    dialogs_.ShowError(ErrorReportText(Utf8ToUtf16(error.what())));
}

std::wstring TForm1::TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool TForm1::IsChecked(HWND box) {
    return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm1::SetChecked(HWND box, bool checked) {
    if (IsChecked(box) == checked) {
        return;
    }
    ::SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (box == AutoLogon) {
        AutoLogonClick();
    } else if (box == CompleteLockDown) {
        CompleteLockDownClick();
    }
}

void TForm1::SetFieldText(HWND field, const std::wstring& text) {
    if (TextOf(field) == text) {
        return;
    }
    settingField_ = true;
    ::SetWindowTextW(field, text.c_str());
    settingField_ = false;
    RunChangeOperation(field);
}

void TForm1::RunChangeOperation(HWND field) {
    if (field == QUARNUSER) {
        QUARNUSERChange();
    } else if (field == USERPASSWORD) {
        USERPASSWORDChange();
    } else if (field == QUARNProgram) {
        QUARNProgramChange();
    } else if (field == QUARNParameter) {
        QUARNParameterChange();
    }
}

// --- Event operations -------------------------------------------------------

void TForm1::FormCreate() {}

void TForm1::FormShow() {
    LoadingSettings = true;
    BringToFront(PanelAbout);
    Application::Instance().SetTitle(L"QUARN - " + GetOSCaption() + options_.buildNote);
    ::SetWindowTextW(Release, (std::wstring(L"Release: ") + BuiltInReleaseW).c_str());
    SetFieldText(QUARNUSER, ReadSetting(L"QUARN-Username"));
    SetFieldText(USERPASSWORD, ReadSetting(L"PanelPassword"));
    SetFieldText(QUARNProgram, ReadSetting(L"Program"));
    SetFieldText(QUARNParameter, ReadSetting(L"ProgramParameter"));
    if (ReadSetting(L"CompleteLockDown") == L"true") {
        SetChecked(CompleteLockDown, true);
    }
    SetChecked(AutoLogon, ReadAutoLogonOn());
    Catalogues->EnsureLockCatalogueFile();
    LoadingSettings = false;
}

void TForm1::FormActivate() {
    // The start-up sequence runs once, at the window's first activation; a
    // later return from another window of the program starts nothing.
    if (!started_) {
        started_ = true;
        ::SetTimer(Handle(), kTimer1, kTimer1Interval, nullptr);
    }
}

void TForm1::Timer1Timer() {
    ::KillTimer(Handle(), kTimer1);
    QUARNlockClick();
    ShowPassClick();
    ::SetTimer(Handle(), kTimer2, kTimer2Interval, nullptr);
}

void TForm1::Timer2Timer() {
    ::KillTimer(Handle(), kTimer2);
    CheckForUpdate();
}

void TForm1::CheckForUpdate() {
    const std::wstring ini = (options_.programFolder / kIniFileName).wstring();
    if (ReadUpdateSetting(ini, L"CheckUpdateviaInternet", L"") != L"1") {
        return;
    }
    // The window goes on handling its messages while the server is asked.
    const UpdateInformation information =
        FetchUpdateInformation(ini, {options_.updateTimeLimit, [] {
                                         Application& application = Application::Instance();
                                         application.ProcessMessages();
                                         return !application.QuitRequested();
                                     }});
    if (!OffersUpdate(information.release, BuiltInReleaseW)) {
        return;
    }
    if (dialogs_.AskYesNo(L"QUARN Update available, Install Update ?", L"UPDATE")) {
        StartUpdateDownload(information.installerSha256);
    }
}

void TForm1::StartUpdateDownload(const std::optional<std::string>& installerSha256) {
    WriteRelease(L"");
    if (updateWindow_ == nullptr) {
        return;
    }
    updateWindow_->Show();
    updateWindow_->SetLabel(L"please download and install ...");
    updateWindow_->SetGauge(0);
    updateWindow_->SetInstallerSha256(installerSha256);
    updateWindow_->Button1Click();
}

void TForm1::StoreField(HWND field, const wchar_t* valueName) {
    WriteSetting(valueName, TextOf(field));
    ::SetWindowTextW(Handle(), Application::Instance().Title().c_str());
}

void TForm1::QUARNUSERChange() {
    StoreField(QUARNUSER, L"QUARN-Username");
}
void TForm1::USERPASSWORDChange() {
    StoreField(USERPASSWORD, L"PanelPassword");
}
void TForm1::QUARNProgramChange() {
    StoreField(QUARNProgram, L"Program");
}
void TForm1::QUARNParameterChange() {
    StoreField(QUARNParameter, L"ProgramParameter");
}

void TForm1::QUARNProgramDblClick() {
    OpenDialog1 = {L"*.*", L"exe", L"*.exe", L"*.exe"};
    const std::optional<std::wstring> chosen = dialogs_.ChooseFile(OpenDialog1);
    if (!chosen) {
        return;  // closed without a choice: the configured application stays
    }
    try {
        SetFieldText(QUARNProgram, WithBackslashes(*chosen));
    } catch (const std::exception&) {
        dialogs_.ShowMessage(L"Error");
    }
}

void TForm1::ShowPassClick() {
    if (ShowPass.Color() == kGreen) {
        ::SendMessageW(USERPASSWORD, EM_SETPASSWORDCHAR, 0, 0);
        ShowPass.SetColor(kRed);
        ShowPass.SetCaption(L"unvisible");
    } else {
        ::SendMessageW(USERPASSWORD, EM_SETPASSWORDCHAR, L'*', 0);
        ShowPass.SetColor(kGreen);
        ShowPass.SetCaption(L"visible");
    }
    ::InvalidateRect(USERPASSWORD, nullptr, TRUE);
}

void TForm1::Button1Click() {
    CreateAdminPassword(dialogs_);
}

void TForm1::WriteAllClick() {
    Catalogues->WriteAllClick(LockedAccountSid);
    // The catalogues switch automatic logon on for an account of their own;
    // the administrator's "Auto Logon" box has the last word. Only the logon
    // values are written again: the fields change only when the box is clicked.
    WriteAutoLogonAsChecked();
    if (closeAfterPass_) {
        ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
    }
}

void TForm1::OpenxmlFile1Click() {
    Catalogues->ImportLockCatalogue();
}
void TForm1::Starthere1Click() {
    BringToFront(PanelSystem);
}
void TForm1::Exit1Click() {
    ::SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TForm1::RestoreStationClick() {
    if (Catalogues->PassRunning()) {
        return;
    }
    if (!dialogs_.AskYesNo(
            L"Restore every setting QUARN changed to its state before the first Lock Down?",
            Application::Instance().Title())) {
        return;
    }
    Win32StationRestore platform;
    StationRestoreOutcome outcome;
    try {
        outcome = RestoreStation(Catalogues->RestorePointFile(), DefaultRegistry(), platform, false,
                                 LocalDateText());
    } catch (const Error& error) {
        dialogs_.ShowMessage(Utf8ToUtf16(error.what()));
        return;
    }
    // The boxes show what the station has now, without writing it again.
    ::SendMessageW(CompleteLockDown, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(AutoLogon, BM_SETCHECK, ReadAutoLogonOn() ? BST_CHECKED : BST_UNCHECKED, 0);
    dialogs_.ShowMessage(Utf8ToUtf16(DescribeRestore(outcome, false)));
}

void TForm1::About1Click() {
    BringToFront(PanelAbout);
}
void TForm1::Image1Click() {
    BringToFront(PanelSystem);
}

void TForm1::Help1Click() {
    const std::filesystem::path help = std::filesystem::current_path() / L"quarn.chm";
    if (FileExists(help)) {
        dialogs_.OpenWithShell(help.wstring());
    } else {
        dialogs_.ShowMessage(L"error loading file !  quarn.chm !");
    }
}

std::wstring TForm1::DummyProgram() const {
    return DummyProgramPath(options_.programFolder.wstring());
}

// --- Messages ---------------------------------------------------------------

bool TForm1::OnCommand(WORD id, WORD code, HWND) {
    switch (id) {
        case kUserId:
        case kPasswordId:
        case kProgramId:
        case kParameterId:
            if (code == EN_CHANGE && !settingField_) {
                const HWND field = ::GetDlgItem(PanelSystem, id);
                Guarded([&] { RunChangeOperation(field); });
            }
            return true;
        case kLockId:
            Guarded([&] { QUARNlockClick(); });
            return true;
        case kShowPassId:
            Guarded([&] { ShowPassClick(); });
            return true;
        case kLockDownId:
            Guarded([&] { CompleteLockDownClick(); });
            return true;
        case kAutoLogonId:
            Guarded([&] { AutoLogonClick(); });
            return true;
        case kPasswordButtonId:
            Guarded([&] { Button1Click(); });
            return true;
        case kWriteAllId:
            Guarded([&] { WriteAllClick(); });
            return true;
        case kImage1Id:
            if (code == STN_CLICKED) {
                Guarded([&] { Image1Click(); });
            }
            return true;
        case kOpenXmlId:
            Guarded([&] { OpenxmlFile1Click(); });
            return true;
        case kStartHereId:
            Guarded([&] { Starthere1Click(); });
            return true;
        case kExitId:
            Guarded([&] { Exit1Click(); });
            return true;
        case kRestoreStationId:
            Guarded([&] { RestoreStationClick(); });
            return true;
        case kHelpId:
            Guarded([&] { Help1Click(); });
            return true;
        case kAboutId:
            Guarded([&] { About1Click(); });
            return true;
        default:
            return false;
    }
}

bool TForm1::OnTimer(UINT_PTR id) {
    if (id == kTimer1) {
        Guarded([&] { Timer1Timer(); });
        return true;
    }
    if (id == kTimer2) {
        Guarded([&] { Timer2Timer(); });
        return true;
    }
    return false;
}

bool TForm1::OnActivate(WORD state) {
    if (state != WA_INACTIVE) {
        Guarded([&] { FormActivate(); });
    }
    return false;
}

bool TForm1::OnClose() {
    if (Catalogues->PassRunning()) {
        closeAfterPass_ = true;  // the pass runs on; the window closes after it
        return true;
    }
    Guarded([&] { Catalogues->CloseTables(); });
    ::DestroyWindow(Handle());
    return true;
}

bool TForm1::OnDestroy() {
    ::PostQuitMessage(0);
    return true;
}

bool TForm1::OnDrawItem(DRAWITEMSTRUCT& item) {
    if (item.hwndItem == QUARNlock.Handle()) {
        QUARNlock.DrawItem(item);
    } else if (item.hwndItem == ShowPass.Handle()) {
        ShowPass.DrawItem(item);
    } else if (item.hwndItem == Image1) {
        DrawStation(item.hDC, item.rcItem);
    } else if (item.hwndItem == Image2) {
        DrawLock(item.hDC, item.rcItem);
    } else {
        return false;
    }
    return true;
}

bool TForm1::OnMeasureItem(MEASUREITEMSTRUCT& item) {
    if (item.CtlID == static_cast<UINT>(kLockId)) {
        QUARNlock.MeasureItem(item);
        return true;
    }
    if (item.CtlID == static_cast<UINT>(kShowPassId)) {
        ShowPass.MeasureItem(item);
        return true;
    }
    return false;
}

std::optional<LRESULT> TForm1::OnControlColor(HDC dc, HWND) {
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

// --- CatalogueWindow --------------------------------------------------------

bool TForm1::LockDownChecked() {
    return IsChecked(CompleteLockDown);
}

void TForm1::SetMenuEnabled(bool enabled) {
    for (UINT position = 0; position < 2; ++position) {
        ::EnableMenuItem(MainMenu1, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    ::DrawMenuBar(Handle());
}

void TForm1::SetProgressVisible(bool visible) {
    if (visible) {
        ::SetWindowPos(ProgressBar1, HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    } else {
        ::ShowWindow(ProgressBar1, SW_HIDE);
    }
}

void TForm1::SetProgressRange(int minimum, int maximum) {
    ::SendMessageW(ProgressBar1, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void TForm1::SetProgressPosition(int position) {
    ::SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TForm1::ProcessMessages() {
    Application::Instance().ProcessMessages();
}

std::optional<std::filesystem::path> TForm1::ChooseCatalogueFile() {
    OpenDialog1 = {L"*.xml", L"xml", L"*.xml", L"*.xml"};
    const std::optional<std::wstring> chosen = dialogs_.ChooseFile(OpenDialog1);
    if (!chosen) {
        return std::nullopt;
    }
    return std::filesystem::path(*chosen);
}

void TForm1::ShowMessage(const std::string& text) {
    dialogs_.ShowMessage(Utf8ToUtf16(text));
}

bool TForm1::AskYesNo(const std::string& text) {
    return dialogs_.AskYesNo(Utf8ToUtf16(text), Application::Instance().Title());
}

}  // namespace quarn
