#include "tools/quarnctl/audit_report.h"

#include <algorithm>
#include <sstream>

#include "system/markup_text.h"
#include "tools/quarnctl/commands.h"

namespace quarn::quarnctl {
namespace {

// The groups in the order their first route comes.
std::vector<std::pair<std::string, std::vector<const RouteFinding*>>> Grouped(
    const std::vector<RouteFinding>& findings) {
    std::vector<std::pair<std::string, std::vector<const RouteFinding*>>> groups;
    for (const RouteFinding& finding : findings) {
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& known) {
            return known.first == std::string_view(finding.route->group);
        });
        if (group == groups.end()) {
            groups.push_back({finding.route->group, {}});
            group = groups.end() - 1;
        }
        group->second.push_back(&finding);
    }
    return groups;
}

// What the route's line says beside its state.
std::string Details(const RouteFinding& finding) {
    if (finding.state == RouteState::NoPolicy) {
        return "no registry policy: " + std::string(finding.route->noPolicy);
    }
    std::string details;
    for (const std::string& part : finding.found) {
        details += (details.empty() ? "" : "; ") + part;
    }
    return details;
}

std::string Summary(const AuditCounts& counts) {
    return std::to_string(counts.closed) + " closed, " + std::to_string(counts.partlyClosed) +
           " partly closed, " + std::to_string(counts.open) + " open, " +
           std::to_string(counts.noPolicy) + " without a registry policy";
}

std::string Escaped(const std::string& text) {
    return EscapeMarkup(text);
}

// The mark's colour and its word, for those who print in black and white.
const char* MarkClass(RouteState state) {
    switch (state) {
        case RouteState::Closed:
            return "closed";
        case RouteState::PartlyClosed:
            return "partly";
        case RouteState::Open:
            return "open";
        case RouteState::NoPolicy:
            return "nopolicy";
    }
    return "";
}

constexpr char kStyle[] =
    "body{font-family:Segoe UI,Tahoma,sans-serif;margin:2em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:1.5em}"
    "table{border-collapse:collapse;width:100%}"
    "td,th{border:1px solid #ccc;padding:.3em .5em;text-align:left;vertical-align:top}"
    "th{background:#eee}td.n{text-align:right;width:2.5em}"
    ".mark{display:inline-block;width:.9em;height:.9em;border-radius:50%;margin-right:.4em;"
    "vertical-align:middle}"
    ".closed .mark{background:#2e7d32}.partly .mark{background:#f9a825}"
    ".open .mark{background:#c62828}.nopolicy .mark{background:#9e9e9e}"
    "@media print{body{margin:1cm}}";

}  // namespace

std::string AuditText(const std::vector<RouteFinding>& findings) {
    std::string text;
    for (const auto& [group, members] : Grouped(findings)) {
        text += group + "\n";
        std::vector<std::vector<std::string>> lines;
        for (const RouteFinding* finding : members) {
            lines.push_back({"  " + std::string(RouteStateName(finding->state)),
                             std::to_string(finding->route->number), finding->route->route,
                             Details(*finding)});
        }
        std::ostringstream table;
        PrintTable(table, {"  STATE", "#", "ROUTE", "FOUND"}, lines);
        text += table.str();
    }
    return text + Summary(CountFindings(findings)) + "\n";
}

std::string AuditHtml(const AuditSubject& subject, const std::vector<RouteFinding>& findings) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>QUARN escape-route audit</title>\n<style>" +
        std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Escape-route audit of " +
        Escaped(subject.what) + "</h1>\n<p>";
    if (!subject.account.empty()) {
        page += "Account: " + Escaped(subject.account) + "<br>\n";
    }
    page += "Time: " + Escaped(subject.time) + "<br>\n" +
            Escaped(Summary(CountFindings(findings))) + ".</p>\n";
    for (const auto& [group, members] : Grouped(findings)) {
        page += "<h2>" + Escaped(group) +
                "</h2>\n<table>\n<tr><th>#</th><th>Route</th><th>State</th><th>Found</th></tr>\n";
        for (const RouteFinding* finding : members) {
            page += "<tr class=\"" + std::string(MarkClass(finding->state)) +
                    "\"><td class=\"n\">" + std::to_string(finding->route->number) + "</td><td>" +
                    Escaped(finding->route->route) + "</td><td><span class=\"mark\"></span>" +
                    Escaped(std::string(RouteStateName(finding->state))) + "</td><td>" +
                    Escaped(Details(*finding)) + "</td></tr>\n";
        }
        page += "</table>\n";
    }
    return page + "</body>\n</html>\n";
}

int AuditStatus(const std::vector<RouteFinding>& findings) {
    const AuditCounts counts = CountFindings(findings);
    return counts.open + counts.partlyClosed == 0 ? kClean : kFindings;
}

}  // namespace quarn::quarnctl
