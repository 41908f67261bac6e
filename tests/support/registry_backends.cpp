#include "support/registry_backends.h"

#include <atomic>
#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#define QUARN_GETPID _getpid
#else
#include <unistd.h>
#define QUARN_GETPID getpid
#endif

#include "system/memory_registry.h"

namespace quarn::test {
namespace {

class MemoryUnderTest final : public RegistryUnderTest {
  public:
    RegistryBackend& Backend() override { return registry_; }
    std::wstring LoadedSid() override {
        const std::wstring sid = L"S-1-5-21-1004336348-1177238915-682003330-1001";
        registry_.LoadHive(sid);
        return sid;
    }
    bool RefusesKeysBelowHiveRoots() const override { return true; }

  private:
    MemoryRegistry registry_;
};

}  // namespace

#if defined(_WIN32)
std::unique_ptr<RegistryUnderTest> MakeWin32Registry();
#endif

std::vector<std::string> RegistryNames() {
#if defined(_WIN32)
    return {"memory", "win32"};
#else
    return {"memory"};
#endif
}

std::unique_ptr<RegistryUnderTest> MakeRegistry(const std::string& name) {
    if (name == "memory") {
        return std::make_unique<MemoryUnderTest>();
    }
#if defined(_WIN32)
    if (name == "win32") {
        return MakeWin32Registry();
    }
#endif
    throw std::invalid_argument("no registry named " + name);
}

std::wstring UniqueTestKeyName() {
    static std::atomic<int> counter{0};
    return L"QuarnTest-" + std::to_wstring(QUARN_GETPID()) + L"-" + std::to_wstring(++counter);
}

}  // namespace quarn::test
