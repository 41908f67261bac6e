#pragma once

// The configurator's own administrator password. Only a digest is stored, in
// the settings value "Password": 32 hexadecimal digits in capitals, the MD5
// of the password's UTF-16LE text. Stations set up by the earlier programs
// hold the earlier digest, which took only some of the text's bytes; such a
// digest still admits the administrator, who is then asked for a new password
// at once; the earlier digest stays until a new one has been confirmed.

#include <string>
#include <string_view>

#include "system/registry_backend.h"

namespace quarn {

// The dialogs the password procedures show; the configurator's own are real
// Win32 dialogs, tests answer from a script.
class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // The one-line input dialog with "Ok" and "Cancel". True when confirmed;
    // value then holds the field's text, otherwise it stays as it was.
    virtual bool InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                                  std::wstring& value, bool masked) = 0;
    // A modal message with an OK button.
    virtual void ShowMessage(const std::wstring& text) = 0;
};

inline constexpr std::size_t kMinimumPasswordLength = 5;
inline constexpr wchar_t kPasswordTooShort[] = L"Password wrong or too short !!";
inline constexpr wchar_t kPleaseCreatePassword[] = L"please create Password";

// MD5 of the whole UTF-16LE text, as 32 capital hexadecimal digits.
std::wstring PasswordDigest(std::wstring_view password);
// The earlier programs' digest: MD5 of N of the text's 2N UTF-16LE bytes
// (bytes j + 64 * floor(j / 64) for j below N), so that for short texts only
// the first half of the bytes counted.
std::wstring LegacyPasswordDigest(std::wstring_view password);

// Asks for a new password twice ("Input Password", "Repeat Password"). A first
// entry shorter than five characters shows "Password wrong or too short !!"
// and stores nothing; two different entries ask again; otherwise the digest
// is stored (a failed write reaches the caller). True when a digest was stored.
bool CreateAdminPassword(UserPrompts& prompts, RegistryBackend& registry = DefaultRegistry());

// Up to three prompts; true when an entry matches the stored digest. An
// entry that matches only an earlier-form digest is accepted, and then
// "please create Password" and CreateAdminPassword ask for a new password;
// if that ends without one, the earlier digest stays as it was.
bool CheckAdminPassword(UserPrompts& prompts, RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn
