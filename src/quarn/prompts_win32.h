#pragma once

// The configurator's dialogs: the one-line input dialog built at run time,
// and message boxes captioned with the application's title.

#include <windows.h>

#include <string>

#include "system/admin_password.h"

namespace quarn {

inline constexpr wchar_t kApplicationTitle[] = L"QUARN";

// The modal one-line input dialog: caption, prompt, a field of at most 255
// characters shown as "*" when masked, "Ok" (Enter) and "Cancel" (Esc).
// True when confirmed with Ok; value then holds the field's text.
bool InputQueryMasked(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                      std::wstring& value, bool masked);

class Win32Prompts final : public UserPrompts {
  public:
    explicit Win32Prompts(HWND owner = nullptr, std::wstring title = kApplicationTitle)
        : owner_(owner), title_(std::move(title)) {}

    bool InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                          std::wstring& value, bool masked) override;
    void ShowMessage(const std::wstring& text) override;

  private:
    HWND owner_;
    std::wstring title_;
};

}  // namespace quarn
