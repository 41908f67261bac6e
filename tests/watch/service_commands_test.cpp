#include <gtest/gtest.h>

#include "watch/service_commands.h"

namespace quarn {
namespace {

TEST(ServiceCommandLine, SwitchesInAnyCaseAfterSlashOrDash) {
    struct Row {
        std::vector<std::wstring> arguments;
        ServiceAction action;
        bool silent;
    };
    const Row rows[] = {
        {{}, ServiceAction::Run, false},
        {{L"/INSTALL"}, ServiceAction::Install, false},
        {{L"-install", L"/Silent"}, ServiceAction::Install, true},
        {{L"/UnInstall", L"-SILENT"}, ServiceAction::Uninstall, true},
        {{L"INSTALL"}, ServiceAction::Run, false},  // no switch without "/" or "-"
        {{L"/installer"}, ServiceAction::Run, false},
        {{L"/silent"}, ServiceAction::Run, true},
    };
    for (const Row& row : rows) {
        const ServiceCommand command = ParseServiceCommandLine(row.arguments);
        EXPECT_EQ(command.action, row.action);
        EXPECT_EQ(command.silent, row.silent);
    }
}

TEST(ServiceCommandLine, InteractiveOnlyBeforeVista) {
    EXPECT_TRUE(InstallsInteractive(7));   // Windows XP
    EXPECT_TRUE(InstallsInteractive(0));   // unknown, like the older systems
    EXPECT_FALSE(InstallsInteractive(8));  // Vista and later
}

TEST(ServiceCommandLine, OutcomeMessages) {
    EXPECT_EQ(InstallOutcomeMessage(ServiceAction::Install, true, false, L""),
              L"Service erfolgreich installiert");
    EXPECT_EQ(InstallOutcomeMessage(ServiceAction::Uninstall, true, false, L""),
              L"Service erfolgreich deinstalliert");
    EXPECT_EQ(InstallOutcomeMessage(ServiceAction::Install, true, true, L""), L"");
    EXPECT_EQ(InstallOutcomeMessage(ServiceAction::Install, false, true, L"Zugriff verweigert"),
              L"Service \"watch\" konnte nicht installiert werden; Fehler: \"Zugriff verweigert\"");
    EXPECT_EQ(InstallOutcomeMessage(ServiceAction::Uninstall, false, false, L"x"),
              L"Service \"watch\" konnte nicht deinstalliert werden; Fehler: \"x\"");
}

TEST(ServiceCommandLine, ImagePathIsQuoted) {
    EXPECT_EQ(ServiceImagePath(L"C:\\Program Files (x86)\\QUARN\\watch.exe"),
              L"\"C:\\Program Files (x86)\\QUARN\\watch.exe\"");
}

}  // namespace
}  // namespace quarn
