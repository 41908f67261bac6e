// quarnctl audit --station under Wine, with the Wine user as the locked-down
// account: after a pass of the recommended catalogue the station's audit
// closes what the file's audit closes; a value changed by hand opens its
// route; the restore opens them all again.

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>

#include "catalogue/escape_audit.h"
#include "catalogue/policy_row_applier.h"
#include "catalogue/recommended_catalogue.h"
#include "catalogue/row_restore.h"
#include "support/registry_snapshot.h"
#include "support/station_queries.h"
#include "support/station_queries_win32.h"
#include "system/settings.h"
#include "system/value_data.h"
#include "tools/quarnctl/audit_station_win32.h"

namespace quarn {
namespace {

std::set<int> Closed(const std::vector<RouteFinding>& findings) {
    std::set<int> closed;
    for (const RouteFinding& finding : findings) {
        if (finding.state == RouteState::Closed) {
            closed.insert(finding.route->number);
        }
    }
    return closed;
}

std::vector<RouteState> States(const std::vector<RouteFinding>& findings) {
    std::vector<RouteState> states;
    for (const RouteFinding& finding : findings) {
        states.push_back(finding.state);
    }
    return states;
}

TEST(AuditStation, FollowsThePassTheHandAndTheRestore) {
    test::RemoveSettingsKey();
    WriteSetting(L"QUARN-Username", test::CurrentUserName());
    RegistryBackend& registry = DefaultRegistry();
    const std::wstring sid = test::CurrentUserSid();
    const std::vector<RouteFinding> before = AuditRegistry(registry, sid, EscapeRoutes());

    RestorePoint point;
    PolicyTable pass = RecommendedLockCatalogue();
    RecordCatalogueChanges(point, registry, pass, sid);
    pass.First();
    for (int i = 0; i < pass.RecordCount(); ++i) {
        pass.Edit();
        ApplyPolicyRow(pass, {registry, sid, std::chrono::milliseconds(0)});
        pass.Next();
    }
    PolicyTable file = RecommendedLockCatalogue();
    const std::set<int> closedByTheFile = Closed(AuditCatalogue(file, EscapeRoutes()));
    EXPECT_EQ(Closed(AuditRegistry(registry, sid, EscapeRoutes())), closedByTheFile);
    {
        // The switched-off rows' routes are not closed: exit status 1.
        std::ostringstream out;
        EXPECT_EQ(AuditCommand({"--station"}, out), 1);
        EXPECT_NE(out.str().find("\n" + std::to_string(closedByTheFile.size()) + " closed, "),
                  std::string::npos)
            << out.str();
    }

    // cmd.exe allowed again by hand.
    test::WriteRaw(registry, RegistryRoot::Users,
                   sid + L"\\Software\\Policies\\Microsoft\\Windows\\System", L"DisableCMD",
                   kRegDword, {0, 0, 0, 0});
    for (const RouteFinding& finding : AuditRegistry(registry, sid, EscapeRoutes())) {
        if (finding.route->number == 58) {
            EXPECT_EQ(finding.state, RouteState::PartlyClosed);
            ASSERT_EQ(finding.found.size(), 1u);
            EXPECT_EQ(finding.found[0], "REG_DWORD 0 in the registry");
        }
    }

    EXPECT_TRUE(RestoreRegistry(point, registry, false).failures.empty());
    EXPECT_EQ(States(AuditRegistry(registry, sid, EscapeRoutes())), States(before));
    test::RemoveSettingsKey();
}

}  // namespace
}  // namespace quarn
