#include "release_shell_win32.h"

#include "account_hive_win32.h"
#include "account_shell.h"
#include "outside_programs.h"
#include "settings.h"
#include "text_case.h"
#include "text_encoding.h"

namespace quarn {

int ReleaseShell(const std::vector<std::string>& args, std::ostream& out) {
    if (!args.empty()) {
        throw UsageError("release-shell takes no arguments");
    }
    const std::wstring account = ReadAccountName();
    const std::string named = "The account \"" + Utf16ToUtf8(account) + "\"";
    try {
        const AccountHive hive = AccountHive::OfAccount(account);
        const std::wstring shell = ReadAccountShell(hive.KeyName());
        if (shell.empty() || EqualsIgnoringCaseAZ(shell, kExplorerExe)) {
            out << named << " has no shell of its own to release.\n";
        } else {
            WriteAccountShell(hive.KeyName(), kExplorerExe);
            out << named << " has explorer.exe as its shell again (it was " << Utf16ToUtf8(shell)
                << ").\n";
        }
    } catch (const AccountHiveError& error) {
        if (error.Failure() == HiveFailure::Unreachable) {
            throw;
        }
        // No account or no profile: nobody can log on with the shell.
        out << error.what() << "; there is no shell to release.\n";
    }
    WriteCompleteLockDown(false);
    out << "Lock Down is off (\"CompleteLockDown\" is \"false\").\n";
    return 0;
}

PlatformCommand ReleaseShellCommand() {
    return {"release-shell",
            "  quarnctl release-shell\n"
            "      Switches Lock Down off without the configurator, as the uninstaller\n"
            "      does: the account in \"QUARN-Username\" gets explorer.exe back as its\n"
            "      shell (its hive is loaded for it when it is not logged on), and\n"
            "      \"CompleteLockDown\" becomes \"false\". The policies stay. Run it as\n"
            "      an administrator. Exit status 0 when done, 2 on errors.\n",
            ReleaseShell};
}

}  // namespace quarn
