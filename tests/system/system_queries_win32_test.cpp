// The questions that only Windows itself answers, asked of Wine.

#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <gtest/gtest.h>

#include "system/error.h"
#include "system/system_queries.h"

namespace quarn {
namespace {

// COM for the calling thread, as the configurator's start-up brackets it.
class ComScope {
  public:
    ComScope() : result_(::CoInitialize(nullptr)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }

  private:
    HRESULT result_;
};

TEST(SystemQueriesWin32, VersionClassOfThisWindowsIsVistaOrLater) {
    EXPECT_GE(GetWindowsVersionClass(), kVistaOrLater);
}

TEST(SystemQueriesWin32, TheTestUserIsAnAdministrator) {
    EXPECT_TRUE(IsAdministrator());
}

TEST(SystemQueriesWin32, ProgramFilesForThirtyTwoBitPrograms) {
    EXPECT_EQ(GetProgramFilesDir(), L"C:\\Program Files (x86)");
}

TEST(SystemQueriesWin32, WmiGivesACaptionAndADomainRole) {
    const ComScope com;
    const std::wstring caption = GetOSCaption();
    EXPECT_NE(caption.find(L"Windows"), std::wstring::npos);
    DomainRoleCode.clear();
    QueryDomainRole();
    ASSERT_EQ(DomainRoleCode.size(), 1u);
    EXPECT_GE(DomainRoleCode[0], L'0');
    EXPECT_LE(DomainRoleCode[0], L'5');
}

TEST(SystemQueriesWin32, WithoutComWmiRaisesAndLeavesTheRoleEmpty) {
    DomainRoleCode.clear();
    EXPECT_THROW(QueryDomainRole(), Error);
    EXPECT_TRUE(DomainRoleCode.empty());
}

}  // namespace
}  // namespace quarn
