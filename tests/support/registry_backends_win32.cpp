#include <windows.h>
// After windows.h, which it needs.
#include "support/registry_backends.h"
#include "support/station_queries_win32.h"
#include "system/handle_win32.h"
#include "system/registry_win32.h"

namespace quarn::test {
namespace {

class Win32UnderTest final : public RegistryUnderTest {
  public:
    RegistryBackend& Backend() override { return registry_; }
    std::wstring LoadedSid() override { return CurrentUserSid(); }
    bool RefusesKeysBelowHiveRoots() const override { return !RunningUnderWine(); }

  private:
    Win32Registry registry_;
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeWin32Registry() {
    return std::make_unique<Win32UnderTest>();
}

}  // namespace quarn::test
