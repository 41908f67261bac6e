// The questions that only Windows itself answers, asked of Wine.

#include <windows.h>

#include <gtest/gtest.h>

#include "system/com_win32.h"
#include "system/error.h"
#include "system/system_queries.h"

namespace quarn {
namespace {

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
    const win32::ComInitialization com;  // as the configurator's start-up brackets it
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
