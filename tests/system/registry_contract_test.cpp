// The registry contract: RegistryAccess gives the same results and errors on
// the real registry and on the in-memory stand-in. Every test runs against
// each registry of the build; a difference is a bug in the stand-in.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "support/registry_backends.h"
#include "system/memory_registry.h"
#include "system/registry_access.h"

namespace quarn {
namespace {

using test::MakeRegistry;
using test::RegistryUnderTest;

class RegistryContract : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = MakeRegistry(GetParam());
        name_ = test::UniqueTestKeyName();
        base_ = L"\\Software\\" + name_;
    }

    void TearDown() override {
        const std::wstring sid = registry_->LoadedSid();
        const std::pair<RegistryRoot, std::wstring> keys[] = {
            {RegistryRoot::CurrentUser, base_},
            {RegistryRoot::LocalMachine, base_},
            {RegistryRoot::LocalMachine, L"\\Software\\WOW6432Node\\" + name_},
            {RegistryRoot::Users, L"\\" + sid + base_},
        };
        for (const auto& [root, path] : keys) {
            RegistryAccess cleanup(kKeyAllAccess, Backend());
            cleanup.SetRootKey(root);
            cleanup.DeleteKey(path);
        }
    }

    RegistryBackend& Backend() { return registry_->Backend(); }

    RegistryAccess Access(RegistryRoot root = RegistryRoot::CurrentUser,
                          std::uint32_t mask = kKeyAllAccess) {
        RegistryAccess access(mask, Backend());
        access.SetRootKey(root);
        return access;
    }

    // The value as the backend stores it, read past RegistryAccess.
    std::optional<RegistryValue> Stored(RegistryRoot root, const std::wstring& path,
                                        const std::wstring& name, std::uint32_t view = 0) {
        KeyHandle key{};
        if (Backend().OpenKey(Backend().Root(root), path.substr(1), kKeyRead | view, key) !=
            kErrorSuccess) {
            return std::nullopt;
        }
        const OwnedKey owner(Backend(), key);
        RegistryValue value;
        if (Backend().QueryValue(key, name, value) != kErrorSuccess) {
            return std::nullopt;
        }
        return value;
    }

    // Stores a value in a form RegistryAccess never writes.
    void SetRaw(const std::wstring& path, const std::wstring& name, std::uint32_t type,
                std::span<const std::uint8_t> data) {
        KeyHandle key{};
        ASSERT_EQ(Backend().CreateKey(Backend().Root(RegistryRoot::CurrentUser), path.substr(1),
                                      kKeyAllAccess, key),
                  kErrorSuccess);
        const OwnedKey owner(Backend(), key);
        ASSERT_EQ(Backend().SetValue(key, name, type, data), kErrorSuccess);
    }

    bool KeyExists(RegistryRoot root, const std::wstring& path, std::uint32_t view = 0) {
        return Access(root, kKeyRead | view).OpenKey(path, false);
    }

    std::unique_ptr<RegistryUnderTest> registry_;
    std::wstring name_;
    std::wstring base_;
};

std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const RegistryError& error) {
        return error.what();
    }
    return "(nothing raised)";
}

TEST_P(RegistryContract, WritesStoreTypeAndBytesAsWindowsDoes) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_ + L"\\Values", true));
    access.WriteString(L"Text", L"Gr\u00FC\u00DFe");
    access.WriteString(L"Empty", L"");
    access.WriteInteger(L"Minus", -1);
    access.WriteInteger(L"Small", 0x01020304);
    const std::uint8_t bytes[] = {0x11, 0x00, 0x4C};
    access.WriteBinaryData(L"Bytes", bytes);
    access.WriteBinaryData(L"NoBytes", {});
    access.WriteString(L"", L"default");

    struct Expected {
        const wchar_t* name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    const Expected rows[] = {
        {L"Text", kRegSz, {'G', 0, 'r', 0, 0xFC, 0, 0xDF, 0, 'e', 0, 0, 0}},
        {L"Empty", kRegSz, {0, 0}},
        {L"Minus", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
        {L"Small", kRegDword, {0x04, 0x03, 0x02, 0x01}},
        {L"Bytes", kRegBinary, {0x11, 0x00, 0x4C}},
        {L"NoBytes", kRegBinary, {}},
        {L"", kRegSz, {'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0, 'l', 0, 't', 0, 0, 0}},
    };
    for (const Expected& row : rows) {
        SCOPED_TRACE(testing::Message() << "value " << row.name);
        const auto stored = Stored(RegistryRoot::CurrentUser, base_ + L"\\Values", row.name);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->type, row.type);
        EXPECT_EQ(stored->data, row.data);
    }
}

TEST_P(RegistryContract, NamesIgnoreCaseAndKeepTheirCase) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_ + L"\\MixedCase\\Inner", true));
    access.WriteString(L"ValueName", L"one");
    access.WriteString(L"VALUENAME", L"two");  // the same value

    auto reader = Access();
    ASSERT_TRUE(reader.OpenKey(L"\\SOFTWARE\\" + name_ + L"\\mixedcase\\INNER", false));
    EXPECT_EQ(reader.ReadString(L"valuename"), L"two");

    KeyHandle key{};
    ASSERT_EQ(Backend().OpenKey(Backend().Root(RegistryRoot::CurrentUser), base_.substr(1),
                                kKeyRead, key),
              kErrorSuccess);
    const OwnedKey owner(Backend(), key);
    std::vector<std::wstring> names;
    ASSERT_EQ(Backend().EnumSubKeys(key, names), kErrorSuccess);
    EXPECT_EQ(names, std::vector<std::wstring>{L"MixedCase"});
}

// A key's value names come back as they were written, the default value as
// the empty name; a deleted value is gone from them. Their order is the
// registry's own.
TEST_P(RegistryContract, ValueNamesAreEnumeratedWithTheirCase) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_ + L"\\Values", true));
    access.WriteInteger(L"Zeta", 1);
    access.WriteString(L"", L"default");
    access.WriteBinaryData(L"Alpha", std::vector<std::uint8_t>{1, 2});
    access.WriteString(L"Gone", L"x");
    access.WriteString(L"mIxEd", L"y");
    access.DeleteValue(L"Gone");

    KeyHandle key{};
    ASSERT_EQ(Backend().OpenKey(Backend().Root(RegistryRoot::CurrentUser),
                                base_.substr(1) + L"\\Values", kKeyRead, key),
              kErrorSuccess);
    const OwnedKey owner(Backend(), key);
    std::vector<std::wstring> names;
    ASSERT_EQ(Backend().EnumValueNames(key, names), kErrorSuccess);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"", L"Alpha", L"Zeta", L"mIxEd"}));

    KeyHandle empty{};
    ASSERT_EQ(Backend().CreateKey(key, L"Empty", kKeyAllAccess, empty), kErrorSuccess);
    const OwnedKey emptyOwner(Backend(), empty);
    names = {L"stale"};
    ASSERT_EQ(Backend().EnumValueNames(empty, names), kErrorSuccess);
    EXPECT_TRUE(names.empty());
}

TEST_P(RegistryContract, OpenWithCreateMakesTheWholePathAndFailedOpenKeepsTheKey) {
    auto access = Access();
    EXPECT_FALSE(access.OpenKey(base_ + L"\\A\\B\\C", false));
    EXPECT_FALSE(access.HasOpenKey());
    ASSERT_TRUE(access.OpenKey(base_ + L"\\A\\B\\C", true));
    access.WriteString(L"Where", L"C");
    EXPECT_FALSE(access.OpenKey(L"\\Software\\" + name_ + L"\\Missing", false));
    EXPECT_EQ(access.ReadString(L"Where"), L"C");  // still on A\B\C
    EXPECT_TRUE(KeyExists(RegistryRoot::CurrentUser, base_ + L"\\A\\B"));
}

TEST_P(RegistryContract, RelativePathsStartAtTheOpenKeyOrTheRoot) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_, true));
    ASSERT_TRUE(access.OpenKey(L"Child", true));  // relative to base_
    access.WriteString(L"Name", L"child");
    EXPECT_TRUE(KeyExists(RegistryRoot::CurrentUser, base_ + L"\\Child"));

    auto fresh = Access();
    ASSERT_TRUE(fresh.OpenKey(base_.substr(1) + L"\\Child", false));  // relative to the root
    EXPECT_EQ(fresh.ReadString(L"Name"), L"child");
}

TEST_P(RegistryContract, TrailingBackslashNamesTheSameKey) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_ + L"\\Desktop\\", true));
    access.WriteString(L"Wallpaper", L"x");
    EXPECT_TRUE(Stored(RegistryRoot::CurrentUser, base_ + L"\\Desktop", L"Wallpaper"));
}

TEST_P(RegistryContract, ReadStringCases) {
    auto writer = Access();
    ASSERT_TRUE(writer.OpenKey(base_, true));
    writer.WriteInteger(L"Number", 7);
    const std::uint8_t embedded[] = {'a', 0, 0, 0, 'b', 0, 0, 0};
    SetRaw(base_, L"Embedded", kRegSz, embedded);
    const std::uint8_t expand[] = {'%', 0, 'X', 0, '%', 0, 0, 0};
    SetRaw(base_, L"Expand", kRegExpandSz, expand);
    const std::uint8_t unterminated[] = {'o', 0, 'k', 0};
    SetRaw(base_, L"Unterminated", kRegSz, unterminated);

    auto reader = Access(RegistryRoot::CurrentUser, kKeyRead);
    EXPECT_EQ(reader.ReadString(L"Number"), L"");  // no key open yet
    ASSERT_TRUE(reader.OpenKey(base_, false));
    EXPECT_EQ(reader.ReadString(L"Missing"), L"");
    EXPECT_EQ(reader.ReadString(L"Embedded"), L"a");
    EXPECT_EQ(reader.ReadString(L"Expand"), L"%X%");
    EXPECT_EQ(reader.ReadString(L"Unterminated"), L"ok");
    EXPECT_EQ(Message([&] { reader.ReadString(L"Number"); }), "Ungültiger Datentyp für 'Number'");
}

TEST_P(RegistryContract, ReadAndWriteOnADeletedKeyRaise) {
    auto holder = Access();
    ASSERT_TRUE(holder.OpenKey(base_ + L"\\Gone", true));
    holder.WriteString(L"Value", L"v");
    ASSERT_TRUE(Access().DeleteKey(base_ + L"\\Gone"));
    EXPECT_EQ(Message([&] { holder.ReadString(L"Value"); }),
              "Fehler beim Holen der Daten für 'Value'");
    EXPECT_EQ(Message([&] { holder.WriteString(L"Value", L"w"); }),
              "Fehler beim Setzen der Daten für 'Value'");
    EXPECT_EQ(Message([&] { holder.CreateKey(L"Below"); }),
              "Erzeugung von Schlüssel Below misslungen");
}

TEST_P(RegistryContract, WritesWithoutAWritableKeyRaise) {
    auto none = Access();
    EXPECT_EQ(Message([&] { none.WriteInteger(L"N", 1); }), "Fehler beim Setzen der Daten für 'N'");
    EXPECT_EQ(Message([&] { none.WriteBinaryData(L"B", {}); }),
              "Fehler beim Setzen der Daten für 'B'");

    ASSERT_TRUE(Access().OpenKey(base_, true));
    auto readOnly = Access();
    ASSERT_TRUE(readOnly.OpenKeyReadOnly(base_));
    EXPECT_EQ(readOnly.Access(), kKeyRead);
    EXPECT_EQ(Message([&] { readOnly.WriteString(L"S", L"x"); }),
              "Fehler beim Setzen der Daten für 'S'");
    EXPECT_FALSE(readOnly.DeleteValue(L"S"));
}

TEST_P(RegistryContract, DeleteKeyRemovesAllSubkeys) {
    auto access = Access();
    for (const wchar_t* path : {L"\\Tree\\A\\A1", L"\\Tree\\A\\A2\\Deep", L"\\Tree\\B"}) {
        ASSERT_TRUE(access.OpenKey(base_ + path, true));
        access.WriteString(L"v", L"x");
    }
    access.CloseKey();
    EXPECT_TRUE(access.DeleteKey(base_ + L"\\Tree"));
    EXPECT_FALSE(KeyExists(RegistryRoot::CurrentUser, base_ + L"\\Tree"));
    EXPECT_TRUE(KeyExists(RegistryRoot::CurrentUser, base_));
    EXPECT_FALSE(access.DeleteKey(base_ + L"\\Tree"));
    EXPECT_FALSE(access.DeleteKey(L""));
}

TEST_P(RegistryContract, DeleteValueAnswersWhetherItDeleted) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_, true));
    access.WriteString(L"Here", L"x");
    EXPECT_TRUE(access.DeleteValue(L"HERE"));
    EXPECT_FALSE(access.DeleteValue(L"Here"));
    EXPECT_FALSE(Stored(RegistryRoot::CurrentUser, base_, L"Here"));
}

TEST_P(RegistryContract, ChangingTheRootClosesTheKey) {
    auto access = Access();
    ASSERT_TRUE(access.OpenKey(base_, true));
    access.SetRootKey(RegistryRoot::CurrentUser);
    EXPECT_TRUE(access.HasOpenKey());  // the same root: nothing changes
    access.SetRootKey(RegistryRoot::LocalMachine);
    EXPECT_FALSE(access.HasOpenKey());
}

TEST_P(RegistryContract, CreateKeyCreatesAndRaisesOnlyOnFailure) {
    auto access = Access();
    access.CreateKey(base_ + L"\\Made\\Here");
    EXPECT_FALSE(access.HasOpenKey());
    EXPECT_TRUE(KeyExists(RegistryRoot::CurrentUser, base_ + L"\\Made\\Here"));
}

TEST_P(RegistryContract, LoadedUserHiveTakesKeysBelowItsSid) {
    const std::wstring sid = registry_->LoadedSid();
    auto access = Access(RegistryRoot::Users);
    ASSERT_TRUE(access.OpenKey(L"\\" + sid + base_ + L"\\Policies", true));
    access.WriteInteger(L"NoRun", 1);
    EXPECT_TRUE(Stored(RegistryRoot::Users, L"\\" + sid + base_ + L"\\Policies", L"NoRun"));
}

// Windows keeps HKEY_USERS to the loaded hives and HKEY_LOCAL_MACHINE to its
// fixed keys; Wine's registry lets both take new keys.
TEST_P(RegistryContract, NoNewKeysDirectlyBelowMachineOrUsers) {
    if (!registry_->RefusesKeysBelowHiveRoots()) {
        GTEST_SKIP() << "Wine's registry creates keys below HKEY_USERS and HKEY_LOCAL_MACHINE";
    }
    const std::pair<RegistryRoot, std::wstring> rows[] = {
        {RegistryRoot::Users, L"\\S-1-5-21-1-2-3-4242\\Software\\" + name_},
        {RegistryRoot::Users, L"\\Software\\" + name_},
        {RegistryRoot::LocalMachine, L"\\CurrentControlSet\\" + name_},
    };
    for (const auto& [root, path] : rows) {
        SCOPED_TRACE(testing::Message() << "path " << std::string(path.begin(), path.end()));
        auto access = Access(root);
        EXPECT_FALSE(access.OpenKey(path, true));
        EXPECT_THROW(access.CreateKey(path), RegistryError);
        EXPECT_EQ(Message([&] { access.WriteInteger(L"NoRun", 1); }),
                  "Fehler beim Setzen der Daten für 'NoRun'");
    }
}

TEST_P(RegistryContract, ThirtyTwoBitViewLandsInWow6432Node) {
    auto access = Access(RegistryRoot::LocalMachine, kKeyAllAccess | kKeyWow64_32Key);
    ASSERT_TRUE(access.OpenKey(base_, true));
    access.WriteString(L"QUARN-DIR", L"C:\\QUARN");
    access.CloseKey();

    EXPECT_TRUE(
        Stored(RegistryRoot::LocalMachine, L"\\Software\\WOW6432Node\\" + name_, L"QUARN-DIR"));
    EXPECT_FALSE(Stored(RegistryRoot::LocalMachine, base_, L"QUARN-DIR"));

    auto reader = Access(RegistryRoot::LocalMachine, kKeyRead | kKeyWow64_32Key);
    ASSERT_TRUE(reader.OpenKey(base_, false));
    EXPECT_EQ(reader.ReadString(L"QUARN-DIR"), L"C:\\QUARN");
    EXPECT_TRUE(access.DeleteKey(base_));  // deletion follows the view too
    EXPECT_FALSE(KeyExists(RegistryRoot::LocalMachine, L"\\Software\\WOW6432Node\\" + name_));
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract, ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

// The stand-in's own promises, beyond the contract.
TEST(MemoryRegistry, EveryKeyIsClosedAgain) {
    MemoryRegistry registry;
    {
        RegistryAccess access(kKeyAllAccess, registry);
        ASSERT_TRUE(access.OpenKey(L"\\Software\\A\\B", true));
        ASSERT_TRUE(access.OpenKey(L"C", true));
        access.CreateKey(L"\\Software\\D");
        access.DeleteKey(L"\\Software\\A");
        EXPECT_EQ(registry.OpenKeyCount(), 1u);
    }
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST(MemoryRegistry, UnloadedHiveTakesItsOpenKeysWithIt) {
    MemoryRegistry registry;
    registry.LoadHive(L"S-1-5-21-7");
    RegistryAccess access(kKeyAllAccess, registry);
    access.SetRootKey(RegistryRoot::Users);
    ASSERT_TRUE(access.OpenKey(L"\\S-1-5-21-7\\Software", true));
    registry.UnloadHive(L"S-1-5-21-7");
    EXPECT_THROW(access.WriteInteger(L"x", 1), RegistryError);
    EXPECT_FALSE(RegistryAccess(kKeyAllAccess, registry).OpenKey(L"\\S-1-5-21-7", false));
}

}  // namespace
}  // namespace quarn
