#include "tools/quarnctl/shell_commands_win32.h"

#include <functional>
#include <optional>

#include "system/account_hive_win32.h"
#include "system/account_shell.h"
#include "system/outside_programs.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

void NoArguments(const char* command, const std::vector<std::string>& args) {
    if (!args.empty()) {
        throw UsageError(std::string(command) + " takes no arguments");
    }
}

// Runs change on the locked-down account's hive key and its current shell,
// and reports what it says; an account that does not exist or has no profile
// has no shell to change.
void WithAccountShell(
    std::ostream& out,
    const std::function<std::optional<std::wstring>(const std::wstring& shell)>& change) {
    const std::wstring account = ReadAccountName();
    const std::string named = "The account \"" + Utf16ToUtf8(account) + "\"";
    try {
        const AccountHive hive = AccountHive::OfAccount(account);
        const std::wstring shell = ReadAccountShell(hive.KeyName());
        const std::optional<std::wstring> changed = change(shell);
        if (!changed) {
            out << named << " keeps its shell ("
                << (shell.empty() ? "none of its own" : Utf16ToUtf8(shell)) << ").\n";
            return;
        }
        WriteAccountShell(hive.KeyName(), *changed);
        out << named << " now has " << Utf16ToUtf8(*changed) << " as its shell (it had "
            << (shell.empty() ? "none of its own" : Utf16ToUtf8(shell)) << ").\n";
    } catch (const AccountHiveError& error) {
        if (error.Failure() == HiveFailure::Unreachable) {
            throw;
        }
        // No account or no profile: nobody can log on with a shell of its own.
        out << error.what() << "; there is no shell to change.\n";
    }
}

}  // namespace

int ReleaseShell(const std::vector<std::string>& args, std::ostream& out) {
    NoArguments("release-shell", args);
    WithAccountShell(out, [](const std::wstring& shell) -> std::optional<std::wstring> {
        // Without a shell of its own the account has the machine's.
        if (shell.empty() || EqualsIgnoringCaseAZ(shell, kExplorerExe)) {
            return std::nullopt;
        }
        return kExplorerExe;
    });
    WriteCompleteLockDown(false);
    out << "Lock Down is off (\"CompleteLockDown\" is \"false\").\n";
    return 0;
}

int PointShell(const std::vector<std::string>& args, std::ostream& out) {
    NoArguments("point-shell", args);
    if (ReadCompleteLockDown() != L"true") {
        out << "Lock Down is off; the account's shell is left as it is.\n";
        return 0;
    }
    const std::wstring folder = ReadInstallDir();
    if (folder.empty()) {
        throw Error("\"QUARN-DIR\" names no installation folder");
    }
    const std::wstring watchdog = WatchdogPath(folder);
    WithAccountShell(out, [&](const std::wstring& shell) -> std::optional<std::wstring> {
        if (shell == watchdog) {
            return std::nullopt;
        }
        return watchdog;
    });
    return 0;
}

std::vector<PlatformCommand> ShellCommands() {
    return {
        {"release-shell",
         "  quarnctl release-shell\n"
         "      Switches Lock Down off without the configurator, as the uninstaller\n"
         "      does: the account in \"QUARN-Username\" gets explorer.exe back as its\n"
         "      shell (its hive is loaded for it when it is not logged on), and\n"
         "      \"CompleteLockDown\" becomes \"false\". The policies stay. Run it as\n"
         "      an administrator. Exit status 0 when done, 2 on errors.\n",
         ReleaseShell},
        {"point-shell",
         "  quarnctl point-shell\n"
         "      While Lock Down is on, makes the watchdog.exe in \"QUARN-DIR\" that\n"
         "      account's shell, as setup.exe does after an upgrade. Run it as an\n"
         "      administrator. Exit status 0 when done, 2 on errors.\n",
         PointShell},
    };
}

}  // namespace quarn
