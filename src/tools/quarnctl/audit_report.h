#pragma once

// The escape-route audit as the administrator reads it: a text report,
// grouped as the help groups the routes, and the same report as one
// self-contained HTML page to keep or print.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/escape_audit.h"

namespace quarn::quarnctl {

// What was audited, for the report's head (UTF-8).
struct AuditSubject {
    std::string what;     // "the catalogue quarn.xml", "the station PC-1"
    std::string account;  // the locked-down account, when a station was audited
    std::string time;     // when
};

// One line per route below its group's name, then the counts.
std::string AuditText(const std::vector<RouteFinding>& findings);

// The page: the subject, the counts and a table per group with a green,
// amber, red or grey mark per route; no external resources.
std::string AuditHtml(const AuditSubject& subject, const std::vector<RouteFinding>& findings);

// 0 when every route that a registry value can close is closed, 1 otherwise.
int AuditStatus(const std::vector<RouteFinding>& findings);

// Prints the text report, writes the page when one is named, and returns
// AuditStatus.
int ReportAudit(const AuditSubject& subject, const std::vector<RouteFinding>& findings,
                const std::optional<std::string>& html, std::ostream& out);

}  // namespace quarn::quarnctl
