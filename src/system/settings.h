#pragma once

// The settings key both programs share: HKEY_LOCAL_MACHINE
// \Software\MORVIL\QUARN, in the 32-bit registry view so that stations set up
// by the earlier 32-bit programs keep their values. Every value is text
// (REG_SZ); a missing key or value reads as empty text. Each operation opens
// the key for its one access and closes it again; nothing is cached.
//
// "swallows" below: a registry failure (a value of another type, a refused
// access) gives empty text; "passes on": the RegistryError reaches the caller.

#include <string>

#include "system/registry_backend.h"

namespace quarn {

inline constexpr wchar_t kSettingsKey[] = L"\\Software\\MORVIL\\QUARN";
// Opening the settings key always adds this view flag.
inline constexpr std::uint32_t kSettingsView = kKeyWow64_32Key;

// The start page of the default application ("-K " and this address).
inline constexpr wchar_t kDefaultStartPage[] = L"https://www.morvil.example/";

// "QUARN-Username", letters A to Z lowered; swallows.
std::wstring ReadAccountName(RegistryBackend& registry = DefaultRegistry());
// "PanelPassword" (the locked-down account's Windows password); passes on.
std::wstring ReadPanelPassword(RegistryBackend& registry = DefaultRegistry());
// "Password" (the administrator password's digest); swallows.
std::wstring ReadPasswordDigest(RegistryBackend& registry = DefaultRegistry());
// Writes "Password"; passes on.
void WritePasswordDigest(const std::wstring& digest, RegistryBackend& registry = DefaultRegistry());
// "QUARN-DIR"; swallows.
std::wstring ReadInstallDir(RegistryBackend& registry = DefaultRegistry());
// "Program"; swallows.
std::wstring ReadProgram(RegistryBackend& registry = DefaultRegistry());
// "ProgramParameter"; swallows.
std::wstring ReadProgramParameter(RegistryBackend& registry = DefaultRegistry());
// "CompleteLockDown"; passes on.
std::wstring ReadCompleteLockDown(RegistryBackend& registry = DefaultRegistry());
// "CompleteLockDown" = "true" or "false"; the key is opened without creating
// it, so a missing key raises the write error.
void WriteCompleteLockDown(bool on, RegistryBackend& registry = DefaultRegistry());
// "QUARN-Release"; passes on.
std::wstring ReadRelease(RegistryBackend& registry = DefaultRegistry());
// Writes "QUARN-Release"; passes on.
void WriteRelease(const std::wstring& release, RegistryBackend& registry = DefaultRegistry());
// "quarn" = "1" before and "0" after a lock or shell-switch operation; never
// reports a failure.
void SetQuarnFlag(RegistryBackend& registry = DefaultRegistry());
void ClearQuarnFlag(RegistryBackend& registry = DefaultRegistry());
// "quarn" as it stands (dummy.exe waits on it); swallows.
std::wstring ReadQuarnFlag(RegistryBackend& registry = DefaultRegistry());

// The first start's defaults, in their order; a failure stops the sequence
// there and passes on. "PanelPassword" and "CompleteLockDown" are not touched.
// programFilesDir is the directory for 32-bit programs, currentDirectory the
// process's current directory.
void WriteFirstRunDefaults(const std::wstring& programFilesDir,
                           const std::wstring& currentDirectory,
                           RegistryBackend& registry = DefaultRegistry());

// One value of the settings key as text; for the main window's own reads and
// writes of the values it shows. Reading passes on.
std::wstring ReadSetting(const std::wstring& name, RegistryBackend& registry = DefaultRegistry());
void WriteSetting(const std::wstring& name, const std::wstring& text,
                  RegistryBackend& registry = DefaultRegistry());

}  // namespace quarn
