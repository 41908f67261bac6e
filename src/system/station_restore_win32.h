#pragma once

// What a station's restore needs from Windows: the accounts' hives (loaded
// from their NTUSER.DAT when Windows has them not loaded) and the
// Administrators group (Windows only).

#include <memory>
#include <vector>

#include "system/account_hive_win32.h"
#include "system/station_restore.h"

namespace quarn {

class Win32StationRestore final : public StationRestorePlatform {
  public:
    std::wstring ReachUserHive(const std::wstring& sid) override;
    void ReleaseUserHives() override;
    long SetAdministratorsMember(const std::wstring& member, bool add) override;

  private:
    std::vector<std::unique_ptr<AccountHive>> hives_;
};

}  // namespace quarn
