#include "watch/service_commands.h"

#include "system/text_case.h"

namespace quarn {

ServiceCommand ParseServiceCommandLine(const std::vector<std::wstring>& arguments) {
    ServiceCommand command;
    for (const std::wstring& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
            continue;
        }
        const std::wstring_view word = std::wstring_view(argument).substr(1);
        if (EqualsIgnoringCaseAZ(word, L"INSTALL")) {
            command.action = ServiceAction::Install;
        } else if (EqualsIgnoringCaseAZ(word, L"UNINSTALL")) {
            command.action = ServiceAction::Uninstall;
        } else if (EqualsIgnoringCaseAZ(word, L"SILENT")) {
            command.silent = true;
        }
    }
    return command;
}

bool InstallsInteractive(VersionClass versionClass) {
    return versionClass < kVistaOrLater;
}

std::wstring InstallOutcomeMessage(ServiceAction action, bool succeeded, bool silent,
                                   const std::wstring& systemErrorText) {
    const bool installing = action == ServiceAction::Install;
    if (succeeded) {
        if (silent) {
            return {};
        }
        return installing ? L"Service erfolgreich installiert"
                          : L"Service erfolgreich deinstalliert";
    }
    return std::wstring(L"Service \"") + kServiceDisplayName + L"\" konnte nicht " +
           (installing ? L"installiert" : L"deinstalliert") + L" werden; Fehler: \"" +
           systemErrorText + L"\"";
}

std::wstring ServiceImagePath(const std::wstring& executable) {
    return L"\"" + executable + L"\"";
}

}  // namespace quarn
