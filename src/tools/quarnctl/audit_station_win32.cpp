#include "tools/quarnctl/audit_station_win32.h"

#include <memory>

#include "catalogue/escape_audit.h"
#include "system/account_hive_win32.h"
#include "system/settings.h"
#include "system/station_restore.h"
#include "system/system_queries.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/audit_report.h"
#include "tools/quarnctl/commands.h"

namespace quarn {

int AuditCommand(const std::vector<std::string>& args, std::ostream& out) {
    const quarnctl::AuditArguments arguments = quarnctl::ParseAuditArguments(args);
    if (!arguments.station) {
        return quarnctl::AuditFile(args, out);
    }
    if (!arguments.operands.empty()) {
        throw UsageError("audit --station takes no catalogue file");
    }
    const std::wstring account = ReadAccountName();
    if (account.empty()) {
        throw Error("\"QUARN-Username\" names no account");
    }
    // Unloaded again when it was loaded here.
    const std::unique_ptr<AccountHive> hive = HiveOfAccount(account);
    const std::vector<RouteFinding> findings =
        AuditRegistry(DefaultRegistry(), hive->KeyName(), EscapeRoutes());
    const std::wstring station = ReadComputerName();
    return quarnctl::ReportAudit(
        {"the station " + Utf16ToUtf8(station.empty() ? L"(unknown)" : station),
         Utf16ToUtf8(account) + " (" + Utf16ToUtf8(hive->Sid()) + ")",
         Utf16ToUtf8(LocalTimeText())},
        findings, arguments.html, out);
}

std::vector<PlatformCommand> AuditCommands() {
    return {
        {"audit",
         "  quarnctl audit --station [--html PAGE]\n"
         "      The same audit of the registry as it is now: the hive of the account\n"
         "      in \"QUARN-Username\" (loaded for it when it is not logged on) and\n"
         "      HKEY_LOCAL_MACHINE, so values a Group Policy or another tool changed\n"
         "      since the pass show. Run it as an administrator.\n",
         AuditCommand},
    };
}

}  // namespace quarn
