#pragma once

// The platform of a station's restore for tests: the hives it is asked to
// reach (each under the name the test gives it, or its SID), those it cannot
// reach, and the Administrators changes it is asked for, all recorded.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "system/error.h"
#include "system/station_restore.h"
#include "system/text_encoding.h"

namespace quarn::test {

class RecordingStationRestore final : public StationRestorePlatform {
  public:
    std::map<std::wstring, std::wstring> hiveNames;  // SID -> key name below HKEY_USERS
    std::set<std::wstring> unreachable;              // SIDs whose hive cannot be reached
    long administratorsStatus = 0;
    std::vector<std::string> calls;

    std::wstring ReachUserHive(const std::wstring& sid) override {
        calls.push_back("reach " + Utf16ToUtf8(sid));
        if (unreachable.count(sid)) {
            throw Error("The hive of " + Utf16ToUtf8(sid) + " cannot be loaded");
        }
        const auto named = hiveNames.find(sid);
        return named == hiveNames.end() ? sid : named->second;
    }
    void ReleaseUserHives() override { calls.push_back("release"); }
    long SetAdministratorsMember(const std::wstring& member, bool add) override {
        calls.push_back((add ? "add " : "remove ") + Utf16ToUtf8(member));
        return administratorsStatus;
    }
};

}  // namespace quarn::test
