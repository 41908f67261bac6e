#pragma once

// Small read-only questions about the Windows the programs run on. The pure
// and registry-based ones are portable; the ones that ask Windows itself
// (version, token, WMI) live in system_queries_win32.cpp.

#include <cstdint>
#include <string>
#include <string_view>

#include "system/registry_backend.h"

namespace quarn {

// The Windows version class; callers only test VersionClass >= 8 (NT 6.0,
// Vista, and later).
using VersionClass = std::uint8_t;
inline constexpr VersionClass kVistaOrLater = 8;

// The class for what GetVersionExW reports: platform id, major and minor
// version, service-pack text. 0 stands for what no caller distinguishes.
VersionClass VersionClassFor(std::uint32_t platform, std::uint32_t major, std::uint32_t minor,
                             std::wstring_view servicePack);

// "LastLoggedOnSAMUser" of the logon UI, without its domain or computer
// prefixes, letters A to Z lowered; empty when missing. Raises RegistryError
// for a value of another type.
std::wstring ReadLastLogonUser(RegistryBackend& registry = DefaultRegistry());
// Winlogon's "AltDefaultUserName", letters A to Z lowered, prefix kept;
// empty on any failure.
std::wstring ReadAltDefaultUser(RegistryBackend& registry = DefaultRegistry());
// The user who logged on last, from the source the version class calls for.
std::wstring GetLastLoggedOnUser(VersionClass versionClass,
                                 RegistryBackend& registry = DefaultRegistry());

// Whether the locked-down account is the one at the station: the settings'
// "QUARN-Username" equals the last logged-on user. An empty account name
// never counts: an unconfigured station is nobody's kiosk.
bool IsLockedAccountAtStation(VersionClass versionClass,
                              RegistryBackend& registry = DefaultRegistry());

// The computer's name as Windows keeps it ("ComputerName" of the
// ComputerName control key); empty when it cannot be read.
std::wstring ReadComputerName(RegistryBackend& registry = DefaultRegistry());

// "ProgramFilesDir" as a 32-bit program sees it (the directory for 32-bit
// programs on 64-bit Windows). Raises RegistryError on a failed read.
std::wstring GetProgramFilesDir(RegistryBackend& registry = DefaultRegistry());

// The computer's domain role as one digit "0" to "5" (Win32_ComputerSystem's
// DomainRole), empty until QueryDomainRole has succeeded. Configurator only.
extern std::wstring DomainRoleCode;

// Windows only (system_queries_win32.cpp).
VersionClass GetWindowsVersionClass();
std::wstring GetLastLoggedOnUser();
bool IsAdministrator();
// Both need COM initialised on the calling thread; both raise Error naming
// the COM or WMI call that failed.
std::wstring GetOSCaption();
void QueryDomainRole();

}  // namespace quarn
