// The locked-down account's own shell, against each registry of the build.

#include <gtest/gtest.h>

#include "support/registry_backends.h"
#include "system/account_shell.h"
#include "system/registry_access.h"

namespace quarn {
namespace {

class AccountShell : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        sid_ = registry_->LoadedSid();
    }

    RegistryBackend& Backend() { return registry_->Backend(); }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::wstring sid_;
};

TEST_P(AccountShell, TheShellGoesIntoTheAccountsOwnWinlogonKey) {
    RegistryAccess user(kKeyAllAccess, Backend());
    user.SetRootKey(RegistryRoot::Users);
    ASSERT_TRUE(user.OpenKey(L"\\" + sid_ + kWinlogonKey, true));
    const std::wstring before = user.ReadString(L"Shell");
    WriteAccountShell(sid_, L"C:\\QUARN\\\\watchdog.exe", Backend());
    EXPECT_EQ(ReadAccountShell(sid_, Backend()), L"C:\\QUARN\\\\watchdog.exe");
    WriteAccountShell(sid_, L"explorer.exe", Backend());
    EXPECT_EQ(ReadAccountShell(sid_, Backend()), L"explorer.exe");
    if (before.empty()) {
        user.DeleteValue(L"Shell");
    } else {
        user.WriteString(L"Shell", before);
    }
}

TEST_P(AccountShell, TheShellKeyIsNeverCreated) {
    const std::wstring missing = L"S-1-5-21-404-404-404-1001";
    EXPECT_THROW(WriteAccountShell(missing, L"explorer.exe", Backend()), RegistryError);
    RegistryAccess users(kKeyRead, Backend());
    users.SetRootKey(RegistryRoot::Users);
    EXPECT_FALSE(users.OpenKey(L"\\" + missing, false));
}

INSTANTIATE_TEST_SUITE_P(Registries, AccountShell, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
