// The escape-route audit of a catalogue and of a registry, over a small
// table of routes: closed, partly closed (a row switched off, a value that
// does not close, one of two conditions), open, and without a policy.

#include "catalogue/escape_audit.h"

#include <gtest/gtest.h>

#include <chrono>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/policy_row_applier.h"
#include "catalogue/recommended_catalogue.h"
#include "support/apply_one_row.h"
#include "support/registry_snapshot.h"
#include "system/memory_registry.h"
#include "system/value_data.h"

namespace quarn {
namespace {

const std::wstring kSid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
constexpr char kExplorer[] =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr char kSystem[] = "HKCU\\Software\\Policies\\Microsoft\\Windows\\System";

constexpr const char* kOne[] = {"1"};
constexpr const char* kOneOrTwo[] = {"1", "2"};
constexpr const char* k506[] = {"506"};
const RouteCondition kNoRun[] = {{kExplorer, "NoRun", "REG_DWORD", kOne}};
const RouteCondition kDisableCmd[] = {{kSystem, "DisableCMD", "REG_DWORD", kOneOrTwo}};
const RouteCondition kPower[] = {{kExplorer, "NoClose", "REG_DWORD", kOne},
                                 {kExplorer, "NoLogoff", "REG_DWORD", kOne}};
const RouteCondition kSticky[] = {
    {"HKCU\\Control Panel\\Accessibility\\StickyKeys", "Flags", "REG_SZ", k506}};
const EscapeRoute kRoutes[] = {
    {1, "Shell", "Run dialog", kNoRun, "", "AA-POL"},
    {2, "Programs", "cmd.exe", kDisableCmd, "", "ADMX"},
    {3, "Shell", "Power and sign out", kPower, "", "AA-POL"},
    {4, "Accessibility", "Sticky Keys", kSticky, "", "HT"},
    {5, "Accessibility", "On-screen keyboard", {}, "AppLocker/WDAC", "KMB"},
};

std::vector<std::pair<std::string, std::string>> States(const std::vector<RouteFinding>& findings) {
    std::vector<std::pair<std::string, std::string>> states;
    for (const RouteFinding& finding : findings) {
        std::string found;
        for (const std::string& part : finding.found) {
            found += (found.empty() ? "" : "; ") + part;
        }
        states.emplace_back(std::string(RouteStateName(finding.state)), found);
    }
    return states;
}

TEST(EscapeAudit, ACatalogueClosesARouteOnlyWithTheLastAppliedClosingValue) {
    const struct {
        const char* name;
        std::vector<PolicyRecord> rows;
        std::vector<std::pair<std::string, std::string>> expected;
    } cases[] = {
        {"nothing",
         {},
         {{"open", "missing"},
          {"open", "missing"},
          {"open", "missing; missing"},
          {"open", "missing"},
          {"no policy", ""}}},
        {"closing values, letter case of keys aside",
         {{10, "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "norun",
           "1", "REG_DWORD", "", "aktiviert", ""},
          {20, kSystem, "DisableCMD", "2", "REG_DWORD", "", "aktiviert", ""},
          {30, kExplorer, "NoClose", "1", "REG_DWORD", "", "aktiviert", ""},
          {40, kExplorer, "NoLogoff", "1", "REG_DWHEX", "", "aktiviert", ""},
          {50, "HKCU\\Control Panel\\Accessibility\\StickyKeys", "Flags", "506", "REG_SZ", "",
           "aktiviert", ""}},
         {{"closed", "closed by 10"},
          {"closed", "closed by 20"},
          {"closed", "closed by 30; closed by 40"},
          {"closed", "closed by 50"},
          {"no policy", ""}}},
        {"present but not locking",
         {{10, kExplorer, "NoRun", "1", "REG_DWORD", "", "deaktiviert", ""},
          {20, kSystem, "DisableCMD", "0", "REG_DWORD", "", "aktiviert", ""},
          {30, kExplorer, "NoClose", "1", "REG_DWORD", "", "aktiviert", ""},
          {50, "HKCU\\Control Panel\\Accessibility\\StickyKeys", "Flags", "506", "REG_DWORD", "",
           "aktiviert", ""}},
         {{"partly closed", "10 is switched off"},
          {"partly closed", "20 writes REG_DWORD 0"},
          {"partly closed", "closed by 30; missing"},
          {"partly closed", "50 writes REG_DWORD 506"},
          {"no policy", ""}}},
        {"a later row undoes an earlier one",
         {{10, kExplorer, "NoRun", "1", "REG_DWORD", "", "aktiviert", ""},
          {11, kExplorer, "NoRun", "", "DEL_SUBKEY", "", "aktiviert", ""}},
         {{"partly closed", "11 deletes it"},
          {"open", "missing"},
          {"open", "missing; missing"},
          {"open", "missing"},
          {"no policy", ""}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        PolicyTable table = TableOf(row.rows);
        const std::vector<RouteFinding> findings = AuditCatalogue(table, kRoutes);
        EXPECT_EQ(States(findings), row.expected);
    }
}

TEST(EscapeAudit, ARegistryIsAuditedByWhatItHoldsNow) {
    MemoryRegistry registry;
    registry.LoadHive(kSid);
    PolicyTable table = TableOf({
        {10, kExplorer, "NoRun", "1", "REG_DWORD", "", "aktiviert", ""},
        {20, kSystem, "DisableCMD", "1", "REG_DWORD", "", "aktiviert", ""},
        {30, kExplorer, "NoClose", "1", "REG_DWORD", "", "aktiviert", ""},
    });
    test::ApplyAll(table, registry, kSid);
    // Another tool set DisableCMD back since.
    test::WriteRaw(registry, RegistryRoot::Users,
                   kSid + L"\\Software\\Policies\\Microsoft\\Windows\\System", L"DisableCMD",
                   kRegDword, {0, 0, 0, 0});
    EXPECT_EQ(States(AuditRegistry(registry, kSid, kRoutes)),
              (std::vector<std::pair<std::string, std::string>>{
                  {"closed", "closed: REG_DWORD 1"},
                  {"partly closed", "REG_DWORD 0 in the registry"},
                  {"partly closed", "closed: REG_DWORD 1; missing"},
                  {"open", "missing"},
                  {"no policy", ""},
              }));
    // Without the account's hive its values are not there to close anything.
    EXPECT_EQ(CountFindings(AuditRegistry(registry, L"", kRoutes)).open, 4u);
}

}  // namespace
}  // namespace quarn

namespace quarn {
namespace {

// The routes table read against the built-in lock catalogue gives what the
// collected reference says of it: routes 68 to 85 closed, 56 to 67 present
// but not locking, 8 and 22 without a registry policy, all others missing.
TEST(EscapeAuditOfTheCatalogues, TheBuiltInLockCatalogueClosesWhatTheReferenceSays) {
    PolicyTable lock = BuiltInLockCatalogue();
    const std::vector<RouteFinding> findings = AuditCatalogue(lock, EscapeRoutes());
    ASSERT_EQ(findings.size(), 85u);
    for (const RouteFinding& finding : findings) {
        const int number = finding.route->number;
        const RouteState expected = number >= 68                  ? RouteState::Closed
                                    : number >= 56                ? RouteState::PartlyClosed
                                    : number == 8 || number == 22 ? RouteState::NoPolicy
                                                                  : RouteState::Open;
        EXPECT_EQ(finding.state, expected) << number << " " << finding.route->route;
    }
    const AuditCounts counts = CountFindings(findings);
    EXPECT_EQ(counts.closed + counts.partlyClosed + counts.open + counts.noPolicy, 85u);
}

// Every route a registry value can close is closed by the recommended
// catalogue once its switched-off rows are switched on; as shipped, only the
// routes of those rows stay partly closed.
TEST(EscapeAuditOfTheCatalogues, TheRecommendedCatalogueClosesEveryRouteThatHasAPolicy) {
    PolicyTable shipped = RecommendedLockCatalogue();
    for (const RouteFinding& finding : AuditCatalogue(shipped, EscapeRoutes())) {
        if (finding.state == RouteState::NoPolicy || finding.state == RouteState::Closed) {
            continue;
        }
        EXPECT_EQ(finding.state, RouteState::PartlyClosed) << finding.route->number;
        bool switchedOff = false;
        for (const std::string& found : finding.found) {
            switchedOff = switchedOff || found.ends_with("is switched off");
        }
        EXPECT_TRUE(switchedOff) << finding.route->number << " " << finding.route->route;
    }

    PolicyTable allOn = RecommendedLockCatalogue();
    allOn.First();
    for (int i = 0; i < allOn.RecordCount(); ++i, allOn.Next()) {
        allOn.Edit();
        allOn.SetFieldText(kColumnStatus, std::string(kStatusOn));
        allOn.Post();
    }
    const AuditCounts counts = CountFindings(AuditCatalogue(allOn, EscapeRoutes()));
    EXPECT_EQ(counts.closed + counts.noPolicy, EscapeRoutes().size());
    EXPECT_EQ(counts.noPolicy, 2u);  // routes 8 and 22
}

}  // namespace
}  // namespace quarn
