#pragma once

// Everything the main window shows or asks outside itself: the input and
// message boxes, the error report, the file dialog and the shell's "open".
// The configurator passes Win32FormDialogs; tests pass a script.

#include <windows.h>

#include <optional>
#include <string>

#include "system/admin_password.h"

namespace quarn {

struct FileDialogRequest {
    std::wstring fileName;          // the initial file name, such as "*.xml"
    std::wstring defaultExtension;  // without its dot
    std::wstring filterName;        // what the filter list shows
    std::wstring filterPattern;     // the files it lists, such as "*.xml"
};

class FormDialogs : public UserPrompts {
  public:
    // The top-level error report: the text (with the "." rule already
    // applied) in a box with the error icon.
    virtual void ShowError(const std::wstring& text) = 0;
    // The open dialog; a typed name of a missing file is accepted. Nothing
    // when the dialog was closed without a choice.
    virtual std::optional<std::wstring> ChooseFile(const FileDialogRequest& request) = 0;
    // The shell's "open" verb, shown normally; false when it failed.
    virtual bool OpenWithShell(const std::wstring& file) = 0;
    // A question with Yes and No, No the default button, no icon.
    virtual bool AskYesNo(const std::wstring& text, const std::wstring& title) = 0;
    // The save dialog; it asks before replacing an existing file. Nothing
    // when it was closed without a choice.
    virtual std::optional<std::wstring> ChooseSaveFile(const FileDialogRequest& request) = 0;
};

class Win32FormDialogs final : public FormDialogs {
  public:
    // Boxes are captioned with the application's title at the time they open.
    void SetOwner(HWND owner) { owner_ = owner; }

    bool InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                          std::wstring& value, bool masked) override;
    void ShowMessage(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    std::optional<std::wstring> ChooseFile(const FileDialogRequest& request) override;
    bool OpenWithShell(const std::wstring& file) override;
    bool AskYesNo(const std::wstring& text, const std::wstring& title) override;
    std::optional<std::wstring> ChooseSaveFile(const FileDialogRequest& request) override;

  private:
    HWND owner_ = nullptr;
};

}  // namespace quarn
