// quarnctl audit: the escape routes a catalogue file closes, leaves partly
// closed or open. The audit of the live station is a Windows command
// (audit_station_win32.cpp), which hands the file's audit to this one.

#include "system/file_io.h"
#include "system/station_restore.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/audit_report.h"
#include "tools/quarnctl/commands.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {

AuditArguments ParseAuditArguments(const std::vector<std::string>& args) {
    AuditArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--html") {
            if (i + 1 == args.size()) {
                throw UsageError("--html needs the name of the page to write");
            }
            parsed.html = args[++i];
        } else if (args[i] == "--station") {
            parsed.station = true;
        } else {
            parsed.operands.push_back(args[i]);
        }
    }
    return parsed;
}

int ReportAudit(const AuditSubject& subject, const std::vector<RouteFinding>& findings,
                const std::optional<std::string>& html, std::ostream& out) {
    out << AuditText(findings);
    if (html) {
        ReplaceFileContents(PathFromUtf8(*html), AuditHtml(subject, findings));
        out << "The report is in " << *html << ".\n";
    }
    return AuditStatus(findings);
}

int AuditFile(const std::vector<std::string>& args, std::ostream& out) {
    const AuditArguments arguments = ParseAuditArguments(args);
    if (arguments.station) {
        throw UsageError("audit --station reads a station's registry and runs on Windows");
    }
    if (arguments.operands.size() != 1) {
        throw UsageError("audit needs one catalogue file");
    }
    const std::string& name = arguments.operands[0];
    PolicyTable table = Load(name);
    const std::vector<RouteFinding> findings = AuditCatalogue(table, EscapeRoutes());
    return ReportAudit({"the catalogue " + name, "", Utf16ToUtf8(LocalTimeText())}, findings,
                       arguments.html, out);
}

const Command kAuditCommand = {
    "audit",
    "  quarnctl audit FILE [--html PAGE]\n"
    "      Lists the escape routes out of a locked-down Windows 10/11 account,\n"
    "      grouped, each as closed, partly closed (a row switched off, or a\n"
    "      value that does not close it) or open by the catalogue FILE, with the\n"
    "      rows' INDEX; --html also writes the report as one page. Exit status\n"
    "      0 when every route a registry value can close is closed, 1 otherwise,\n"
    "      2 on errors.\n",
    [](const std::vector<std::string>& args, std::ostream& out, std::ostream&) {
        return AuditFile(args, out);
    },
};

}  // namespace quarn::quarnctl
