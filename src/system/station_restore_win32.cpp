#include "system/station_restore_win32.h"

#include "system/accounts_win32.h"

namespace quarn {

std::wstring Win32StationRestore::ReachUserHive(const std::wstring& sid) {
    hives_.push_back(std::make_unique<AccountHive>(sid));
    return hives_.back()->KeyName();
}

void Win32StationRestore::ReleaseUserHives() {
    hives_.clear();  // a hive loaded here is unloaded
}

long Win32StationRestore::SetAdministratorsMember(const std::wstring& member, bool add) {
    return quarn::SetAdministratorsMember(member, add);
}

}  // namespace quarn
