#pragma once

// The service executable's command line and its installation messages.

#include <string>
#include <vector>

#include "system/system_queries.h"

namespace quarn {

inline constexpr wchar_t kServiceName[] = L"Service_watch";
inline constexpr wchar_t kServiceDisplayName[] = L"watch";

enum class ServiceAction { Run, Install, Uninstall };

struct ServiceCommand {
    ServiceAction action = ServiceAction::Run;
    bool silent = false;
};

// "INSTALL", "UNINSTALL" and "SILENT" after "/" or "-", in any letter case;
// anything else is passed over.
ServiceCommand ParseServiceCommandLine(const std::vector<std::wstring>& arguments);

// Windows from Vista on register the service without the interactive flag.
bool InstallsInteractive(VersionClass versionClass);

// The outcome as the installer reports it; empty when nothing is shown.
std::wstring InstallOutcomeMessage(ServiceAction action, bool succeeded, bool silent,
                                   const std::wstring& systemErrorText);

// The image path as registered: the executable's full path in double quotes,
// so that a path with blanks cannot be taken for a shorter one.
std::wstring ServiceImagePath(const std::wstring& executable);

}  // namespace quarn
