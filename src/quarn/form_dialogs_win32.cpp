#include <windows.h>
// After windows.h, which they need.
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "quarn/application_win32.h"
#include "quarn/form_dialogs_win32.h"
#include "quarn/prompts_win32.h"

namespace quarn {

bool Win32FormDialogs::InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                                        std::wstring& value, bool masked) {
    return quarn::InputQueryMasked(owner_, caption, prompt, value, masked);
}

void Win32FormDialogs::ShowMessage(const std::wstring& text) {
    ::MessageBoxW(owner_, text.c_str(), Application::Instance().Title().c_str(),
                  MB_OK | MB_TASKMODAL);
}

void Win32FormDialogs::ShowError(const std::wstring& text) {
    ::MessageBoxW(owner_, text.c_str(), Application::Instance().Title().c_str(),
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

namespace {

std::optional<std::wstring> RunFileDialog(HWND owner, const FileDialogRequest& request, bool save) {
    std::vector<wchar_t> file(32768, L'\0');
    request.fileName.copy(file.data(), file.size() - 1);
    std::wstring filter = request.filterName + L'\0' + request.filterPattern + L'\0' + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = request.defaultExtension.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_EXPLORER |
                   (save ? OFN_OVERWRITEPROMPT : 0);
    if (!(save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog))) {
        return std::nullopt;
    }
    return std::wstring(file.data());
}

}  // namespace

std::optional<std::wstring> Win32FormDialogs::ChooseFile(const FileDialogRequest& request) {
    return RunFileDialog(owner_, request, false);
}

std::optional<std::wstring> Win32FormDialogs::ChooseSaveFile(const FileDialogRequest& request) {
    return RunFileDialog(owner_, request, true);
}

bool Win32FormDialogs::AskYesNo(const std::wstring& text, const std::wstring& title) {
    return ::MessageBoxW(owner_, text.c_str(), title.c_str(), MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

bool Win32FormDialogs::OpenWithShell(const std::wstring& file) {
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(owner_, L"open", file.c_str(), nullptr,
                                                     nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace quarn
