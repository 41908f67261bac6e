#pragma once

// The registries a test can run against: the in-memory stand-in everywhere,
// and the real Win32 registry in the Windows build (under Wine in CI).

#include <memory>
#include <string>
#include <vector>

#include "system/registry_access.h"
#include "system/registry_backend.h"

namespace quarn::test {

class RegistryUnderTest {
  public:
    virtual ~RegistryUnderTest() = default;
    virtual RegistryBackend& Backend() = 0;
    // A user hive that is loaded below HKEY_USERS.
    virtual std::wstring LoadedSid() = 0;
    // False for Wine's registry, which lets keys be created directly below
    // HKEY_USERS and HKEY_LOCAL_MACHINE where Windows refuses.
    virtual bool RefusesKeysBelowHiveRoots() const = 0;
};

// "memory", and "win32" in the Windows build.
std::vector<std::string> RegistryNames();
std::unique_ptr<RegistryUnderTest> MakeRegistry(const std::string& name);

// A key name no other test or run uses, e.g. QuarnTest-4711-3.
std::wstring UniqueTestKeyName();

}  // namespace quarn::test
