#pragma once

// The service's questions about running processes. Each query has its own
// matching rule, on purpose:
//   IsProgramRunning        the file-name part of the entry equals the name,
//                           letter case ignored as the user's locale does;
//   FindProcessIdByName     the name, upper-cased in a to z only, occurs
//                           anywhere in the entry's upper-cased file-name part;
//   OpenProcessTokenByName  the entry's whole name equals the name once both
//                           are lower-cased as the locale does.
// The rules are portable and work on a list of entries; the locale's case
// handling comes from the platform. Every query on Windows takes a fresh
// snapshot.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/process_list_win32.h"
#include "system/registry_backend.h"

namespace quarn {

// How the user's locale compares and lowers text (CompareStringW with
// NORM_IGNORECASE, CharLowerBuffW on Windows).
struct LocaleCase {
    std::function<bool(std::wstring_view, std::wstring_view)> equalIgnoringCase;
    std::function<std::wstring(std::wstring_view)> lower;
};
const LocaleCase& PlatformLocaleCase();

// The text after the last "\", "/" or ":"; the whole text when it has none.
std::wstring_view FileNamePart(std::wstring_view name);

bool IsProgramRunningIn(const std::vector<ProcessEntry>& processes, std::wstring_view name,
                        const LocaleCase& locale);
// The first entry's process id, or 0.
std::uint32_t FindProcessIdIn(const std::vector<ProcessEntry>& processes, std::wstring_view text);
// The process id of the first entry OpenProcessTokenByName would try.
std::optional<std::uint32_t> TokenCandidateIn(const std::vector<ProcessEntry>& processes,
                                              std::wstring_view name, const LocaleCase& locale);

// The machine-wide shell setting (HKEY_LOCAL_MACHINE ...\WinLogon "Shell"),
// empty when missing; a value of another type raises RegistryError.
std::wstring ReadMachineShell(RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn
