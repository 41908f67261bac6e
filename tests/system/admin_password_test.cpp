// The administrator password: its digest, and the two procedures driven by
// scripted dialogs against each registry of the build.

#include <gtest/gtest.h>

#include "support/registry_backends.h"
#include "support/registry_faults.h"
#include "support/scripted_prompts.h"
#include "support/station_queries.h"
#include "system/admin_password.h"
#include "system/registry_access.h"
#include "system/settings.h"

namespace quarn {
namespace {

using test::ScriptedPrompts;
using Answers = std::deque<ScriptedPrompts::Answer>;

TEST(PasswordDigest, NewAndEarlierForms) {
    struct Row {
        std::wstring password;
        const wchar_t* digest;
        const wchar_t* legacy;
    };
    std::wstring mixed;
    for (int i = 0; i < 130; ++i) {
        mixed.push_back(i % 5 == 0 ? L'\u0101' : static_cast<wchar_t>(L'A' + i % 26));
    }
    const Row rows[] = {
        {L"abc", L"CE1473CF80C6B3FDA8E3DFC006ADC315", L"70350F6027BCE3713F6B76473084309B"},
        {L"", L"D41D8CD98F00B204E9800998ECF8427E", L"D41D8CD98F00B204E9800998ECF8427E"},
        {L"abcde", L"459DD5FDF19B9F95081752A93AB14C05", L"ED4B9E8BFE6C7571A700DC6A0B0D01CB"},
        {L"abcxy", L"C8107F5DF15560E476BC497B7E93F126", L"ED4B9E8BFE6C7571A700DC6A0B0D01CB"},
        {L"Gr\u00FC\u00DFe!", L"E8C02BA82CA16CE2D13AC89D8B612F76",
         L"500A17550963096D887526376C4D0359"},
        // Longer than 64 characters: the earlier form took bytes from every other block.
        {mixed, L"009C9555A88844CE8C3B97978607082A", L"62DDE926D2391F0BFF6C7771643BFDFE"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.password.size());
        EXPECT_EQ(PasswordDigest(row.password), row.digest);
        EXPECT_EQ(LegacyPasswordDigest(row.password), row.legacy);
    }
    // Two passwords that share their first three letters differ now.
    EXPECT_NE(PasswordDigest(L"abcde"), PasswordDigest(L"abcxy"));
}

class AdminPassword : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        test::RemoveSettingsKey(Backend());
    }
    void TearDown() override { test::RemoveSettingsKey(Backend()); }

    RegistryBackend& Backend() { return registry_->Backend(); }
    std::wstring Stored() { return ReadPasswordDigest(Backend()); }

    std::unique_ptr<test::RegistryUnderTest> registry_;
};

const std::wstring kAsk1 = L"Input Password | input | [] masked";
const std::wstring kAsk2 = L"Repeat Password | repeat | [] masked";
const std::wstring kCheck = L"Input Password | Password:  | [] masked";
const std::wstring kTooShort = L"message Password wrong or too short !!";

TEST_P(AdminPassword, CreateCases) {
    struct Case {
        const char* name;
        Answers answers;
        std::vector<std::wstring> journal;
        std::wstring stored;  // the password whose digest ends up stored, or nothing
    };
    const Case cases[] = {
        {"matching entries",
         {ScriptedPrompts::Ok(L"secret"), ScriptedPrompts::Ok(L"secret")},
         {kAsk1, kAsk2},
         L"secret"},
        {"too short",
         {ScriptedPrompts::Ok(L"abcd"), ScriptedPrompts::Ok(L"abcdefghij")},
         {kAsk1, kAsk2, kTooShort},
         L""},
        {"first dialog cancelled",
         {ScriptedPrompts::Cancel(), ScriptedPrompts::Ok(L"secret")},
         {kAsk1, kAsk2, kTooShort},
         L""},
        {"mismatch, then match",
         {ScriptedPrompts::Ok(L"secret"), ScriptedPrompts::Ok(L"secrex"),
          ScriptedPrompts::Ok(L"better"), ScriptedPrompts::Ok(L"better")},
         {kAsk1, kAsk2, kAsk1, kAsk2},
         L"better"},
        {"only the second dialog cancelled",
         {ScriptedPrompts::Ok(L"secret"), ScriptedPrompts::Cancel(), ScriptedPrompts::Ok(L"secret"),
          ScriptedPrompts::Ok(L"secret")},
         {kAsk1, kAsk2, kAsk1, kAsk2},
         L"secret"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WritePasswordDigest(L"", Backend());
        ScriptedPrompts prompts(c.answers);
        CreateAdminPassword(prompts, Backend());
        EXPECT_EQ(prompts.journal, c.journal);
        EXPECT_EQ(prompts.AnswersLeft(), 0u);
        EXPECT_EQ(Stored(), c.stored.empty() ? L"" : PasswordDigest(c.stored));
    }
}

TEST_P(AdminPassword, TooShortKeepsTheOldDigest) {
    WritePasswordDigest(PasswordDigest(L"previous"), Backend());
    ScriptedPrompts prompts({ScriptedPrompts::Ok(L"1234"), ScriptedPrompts::Ok(L"1234")});
    CreateAdminPassword(prompts, Backend());
    EXPECT_EQ(Stored(), PasswordDigest(L"previous"));
}

TEST_P(AdminPassword, CheckCases) {
    struct Case {
        const char* name;
        std::wstring stored;
        Answers answers;
        bool accepted;
        std::size_t prompts;
    };
    const std::wstring digest = PasswordDigest(L"secret");
    const Case cases[] = {
        {"right at once", digest, {ScriptedPrompts::Ok(L"secret")}, true, 1},
        {"right on the third attempt",
         digest,
         {ScriptedPrompts::Ok(L"one"), ScriptedPrompts::Cancel(), ScriptedPrompts::Ok(L"secret")},
         true,
         3},
        {"three wrong",
         digest,
         {ScriptedPrompts::Ok(L"a"), ScriptedPrompts::Ok(L"b"), ScriptedPrompts::Ok(L"c")},
         false,
         3},
        {"three cancelled",
         digest,
         {ScriptedPrompts::Cancel(), ScriptedPrompts::Cancel(), ScriptedPrompts::Cancel()},
         false,
         3},
        {"nothing stored",
         L"",
         {ScriptedPrompts::Ok(L""), ScriptedPrompts::Cancel(), ScriptedPrompts::Ok(L"secret")},
         false,
         3},
        {"stored in lowercase digits",
         L"5ebe2294ecd0e0f08eab7690d2a6ee69",
         {ScriptedPrompts::Ok(L"secret"), ScriptedPrompts::Ok(L"secret"),
          ScriptedPrompts::Ok(L"secret")},
         false,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WritePasswordDigest(c.stored, Backend());
        ScriptedPrompts prompts(c.answers);
        EXPECT_EQ(CheckAdminPassword(prompts, Backend()), c.accepted);
        EXPECT_EQ(prompts.journal, std::vector<std::wstring>(c.prompts, kCheck));
        EXPECT_EQ(Stored(), c.stored);  // a new-form check never rewrites the digest
    }
}

const std::wstring kPleaseCreate = L"message please create Password";

// A digest of the earlier form admits every entry that shares its counted
// bytes ("abcxy" for "abcde", "GeheXXXX" for "Geheim12"), so such an entry
// must never become the stored password: only a new one typed twice does.
TEST_P(AdminPassword, AnEarlierFormDigestAdmitsOnceAndAsksForANewPassword) {
    struct Case {
        const char* name;
        const wchar_t* earlier;  // the password whose earlier-form digest is stored
        Answers answers;
        std::vector<std::wstring> journal;
        std::wstring stored;  // the digest afterwards
    };
    const Case cases[] = {
        {"the right entry, a new password confirmed",
         L"abcde",
         {ScriptedPrompts::Ok(L"abcde"), ScriptedPrompts::Ok(L"Kiosk-2026"),
          ScriptedPrompts::Ok(L"Kiosk-2026")},
         {kCheck, kPleaseCreate, kAsk1, kAsk2},
         PasswordDigest(L"Kiosk-2026")},
        {"a colliding typo, the new password cancelled",
         L"abcde",
         {ScriptedPrompts::Ok(L"abcxy"), ScriptedPrompts::Cancel(), ScriptedPrompts::Cancel()},
         {kCheck, kPleaseCreate, kAsk1, kAsk2, kTooShort},
         LegacyPasswordDigest(L"abcde")},
        {"a colliding typo of eight letters, a new password confirmed",
         L"Geheim12",
         {ScriptedPrompts::Ok(L"GeheXXXX"), ScriptedPrompts::Ok(L"Geheim12"),
          ScriptedPrompts::Ok(L"Geheim12")},
         {kCheck, kPleaseCreate, kAsk1, kAsk2},
         PasswordDigest(L"Geheim12")},
        {"a wrong entry first, then the new password too short",
         L"abcde",
         {ScriptedPrompts::Ok(L"wrong"), ScriptedPrompts::Ok(L"abcde"), ScriptedPrompts::Ok(L"abc"),
          ScriptedPrompts::Ok(L"abc")},
         {kCheck, kCheck, kPleaseCreate, kAsk1, kAsk2, kTooShort},
         LegacyPasswordDigest(L"abcde")},
        {"two different new entries ask again",
         L"abcde",
         {ScriptedPrompts::Ok(L"abcde"), ScriptedPrompts::Ok(L"first-try"),
          ScriptedPrompts::Ok(L"first-trx"), ScriptedPrompts::Ok(L"second-try"),
          ScriptedPrompts::Ok(L"second-try")},
         {kCheck, kPleaseCreate, kAsk1, kAsk2, kAsk1, kAsk2},
         PasswordDigest(L"second-try")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WritePasswordDigest(LegacyPasswordDigest(c.earlier), Backend());
        ScriptedPrompts prompts(c.answers);
        EXPECT_TRUE(CheckAdminPassword(prompts, Backend()));
        EXPECT_EQ(prompts.journal, c.journal);
        EXPECT_EQ(prompts.AnswersLeft(), 0u);
        EXPECT_EQ(Stored(), c.stored);
    }
}

TEST_P(AdminPassword, AfterTheChangeOnlyTheNewPasswordOpens) {
    WritePasswordDigest(LegacyPasswordDigest(L"Geheim12"), Backend());
    ScriptedPrompts change({ScriptedPrompts::Ok(L"GeheXXXX"), ScriptedPrompts::Ok(L"Kiosk-2026"),
                            ScriptedPrompts::Ok(L"Kiosk-2026")});
    ASSERT_TRUE(CheckAdminPassword(change, Backend()));

    const std::pair<const wchar_t*, bool> entries[] = {
        {L"GeheXXXX", false}, {L"Geheim12", false}, {L"Kiosk-2026", true}};
    for (const auto& [entry, opens] : entries) {
        SCOPED_TRACE(std::wstring(entry));
        ScriptedPrompts prompts(
            {ScriptedPrompts::Ok(entry), ScriptedPrompts::Ok(entry), ScriptedPrompts::Ok(entry)});
        EXPECT_EQ(CheckAdminPassword(prompts, Backend()), opens);
        EXPECT_EQ(prompts.journal, std::vector<std::wstring>(opens ? 1 : 3, kCheck));
    }
}

TEST_P(AdminPassword, ANewPasswordThatCannotBeStoredStillLetsTheAdministratorIn) {
    WritePasswordDigest(LegacyPasswordDigest(L"abcde"), Backend());
    test::RefusingWrites refusing(Backend(), 0);
    ScriptedPrompts prompts({ScriptedPrompts::Ok(L"abcde"), ScriptedPrompts::Ok(L"Kiosk-2026"),
                             ScriptedPrompts::Ok(L"Kiosk-2026")});
    EXPECT_TRUE(CheckAdminPassword(prompts, refusing));
    EXPECT_EQ(Stored(), LegacyPasswordDigest(L"abcde"));
}

INSTANTIATE_TEST_SUITE_P(Registries, AdminPassword, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
