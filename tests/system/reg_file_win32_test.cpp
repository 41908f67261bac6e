// The registry file form against the system's own reg.exe, which reads and
// writes the form independently of us: reg import of the files we write,
// and our reader on what reg export writes.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/reg_exe_win32.h"
#include "support/registry_backends.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/reg_file.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

using test::RunReg;

std::vector<std::uint8_t> CountingBytes(std::size_t count) {
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < count; ++i) {
        data.push_back(static_cast<std::uint8_t>(i * 7));
    }
    return data;
}

// Values of every type and of every written form, by name. REG_SZ data
// without its terminating zero is not among them: Wine's reg import adds the
// zero to such hex(1): data, and its reg export writes REG_SZ data in quotes
// up to the first zero whatever follows.
std::map<std::wstring, RegistryValue> EveryKindOfValue() {
    return {
        {L"", {kRegSz, StringValueData(L"the default")}},
        {L"Text", {kRegSz, StringValueData(L"C:\\Program Files\\\"quoted\"")}},
        {L"a\\b\"c", {kRegSz, StringValueData(L"name with escapes")}},
        {L"Unicode \u20ac\u4e2d", {kRegSz, StringValueData(L"\u00e4\u0416")}},
        {L"Empty", {kRegSz, {0, 0}}},
        {L"LineFeed", {kRegSz, StringValueData(L"a\nb")}},
        {L"Expand", {kRegExpandSz, StringValueData(L"%SystemRoot%\\x")}},
        {L"Multi", {kRegMultiSz, Utf16LeData(std::wstring(L"one\0two\0\0", 9))}},
        {L"Binary", {kRegBinary, CountingBytes(100)}},
        {L"NoBytes", {kRegBinary, {}}},
        {L"Dword", {kRegDword, {0xef, 0xbe, 0xad, 0xde}}},
        {L"Qword", {kRegQword, {1, 2, 3, 4, 5, 6, 7, 0x80}}},
        {L"None", {kRegNone, {1, 2}}},
    };
}

class RegFileWithRegExe : public ::testing::Test {
  protected:
    void TearDown() override {
        const LSTATUS result = ::RegDeleteTreeW(HKEY_CURRENT_USER, subKey_.c_str());
        EXPECT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) << result;
    }

    win32::unique_hkey CreateKey(const std::wstring& below) {
        win32::unique_hkey key;
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (subKey_ + below).c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    static void Set(HKEY key, const std::wstring& name, const RegistryValue& value) {
        ASSERT_EQ(::RegSetValueExW(key, name.c_str(), 0, value.type, value.data.data(),
                                   static_cast<DWORD>(value.data.size())),
                  ERROR_SUCCESS)
            << Utf16ToUtf8(name);
    }

    // The value as the registry holds it; nothing when it does not exist.
    std::optional<RegistryValue> Query(const std::wstring& below, const std::wstring& name) {
        win32::unique_hkey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, (subKey_ + below).c_str(), 0, KEY_READ, key.put()) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegistryValue value{type, std::vector<std::uint8_t>(size)};
        EXPECT_EQ(
            ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, value.data.data(), &size),
            ERROR_SUCCESS);
        value.data.resize(size);
        return value;
    }

    bool KeyExists(const std::wstring& below) {
        win32::unique_hkey key;
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, (subKey_ + below).c_str(), 0, KEY_READ,
                               key.put()) == ERROR_SUCCESS;
    }

    // The bytes reg export writes of the key holding these values and a
    // subkey "Sub" with a dword "Inner".
    std::string Export(const std::map<std::wstring, RegistryValue>& values) {
        {
            const win32::unique_hkey key = CreateKey(L"");
            for (const auto& [name, value] : values) {
                Set(key.get(), name, value);
            }
            const win32::unique_hkey sub = CreateKey(L"\\Sub");
            Set(sub.get(), L"Inner", {kRegDword, {7, 0, 0, 0}});
        }
        const std::filesystem::path path = folder_ / "export.reg";
        EXPECT_EQ(RunReg(L"export " + fullKey_ + L" \"" + path.wstring() + L"\" /y"), 0u);
        return ReadWholeFile(path);
    }

    const std::wstring name_ = test::UniqueTestKeyName();
    const std::wstring subKey_ = L"Software\\" + name_;
    const std::wstring fullKey_ = L"HKEY_CURRENT_USER\\" + subKey_;
    test::TempFolder folder_;
};

TEST_F(RegFileWithRegExe, RegImportTakesEveryValueWeWrite) {
    {
        const win32::unique_hkey before = CreateKey(L"");
        Set(before.get(), L"Old", {kRegSz, StringValueData(L"to be removed")});
        Set(before.get(), L"", {kRegSz, StringValueData(L"to be removed too")});
        const win32::unique_hkey obsolete = CreateKey(L"\\Obsolete\\Deeper");
        Set(obsolete.get(), L"V", {kRegDword, {1, 0, 0, 0}});
    }
    ASSERT_TRUE(Query(L"", L"Old"));

    const std::map<std::wstring, RegistryValue> values = EveryKindOfValue();
    RegFileKey main{fullKey_, false, {}};
    for (const auto& [name, value] : values) {
        if (!name.empty()) {
            main.values.push_back({name, value});
        }
    }
    // Forms that only the import takes exactly: reg export writes REG_SZ
    // data only up to its first zero, and any REG_DWORD as four bytes.
    const RegistryValue innerZero{kRegSz, StringValueData(std::wstring(L"a\0b", 3))};
    const RegistryValue shortDword{kRegDword, {1, 2, 3}};
    main.values.push_back({L"InnerZero", innerZero});
    main.values.push_back({L"ShortDword", shortDword});
    main.values.push_back({L"Old", std::nullopt});
    main.values.push_back({L"", std::nullopt});
    const RegFile file{
        {L"written by the tests"},
        {fullKey_ + L"\\Sub"},
        {main, RegFileKey{fullKey_ + L"\\Obsolete", true, {}},
         RegFileKey{
             fullKey_ + L"\\Sub", false, {{L"Inner", RegistryValue{kRegDword, {7, 0, 0, 0}}}}}}};
    const std::filesystem::path path = folder_ / "import.reg";
    ReplaceFileContents(path, WriteRegFile(file));

    EXPECT_EQ(RunReg(L"import \"" + path.wstring() + L"\""), 0u);

    for (const auto& [name, value] : values) {
        if (name.empty()) {
            continue;
        }
        SCOPED_TRACE(Utf16ToUtf8(name));
        const std::optional<RegistryValue> imported = Query(L"", name);
        ASSERT_TRUE(imported);
        EXPECT_EQ(imported->type, value.type);
        EXPECT_EQ(imported->data, value.data);
    }
    EXPECT_EQ(Query(L"", L"InnerZero"), innerZero);
    EXPECT_EQ(Query(L"", L"ShortDword"), shortDword);
    EXPECT_FALSE(Query(L"", L"Old")) << "\"Old\"=- removes the value";
    EXPECT_FALSE(Query(L"", L"")) << "@=- removes the default value";
    EXPECT_FALSE(KeyExists(L"\\Obsolete")) << "[-KEY] removes the key with its subkeys";
    const std::optional<RegistryValue> inner = Query(L"\\Sub", L"Inner");
    ASSERT_TRUE(inner);
    EXPECT_EQ(*inner, (RegistryValue{kRegDword, {7, 0, 0, 0}}));
}

TEST_F(RegFileWithRegExe, WeReadWhatRegExportWrites) {
    const std::map<std::wstring, RegistryValue> values = EveryKindOfValue();
    const RegFileReadResult read = ReadRegFile(Export(values));
    ASSERT_TRUE(read) << read.message << " at " << read.offset;
    ASSERT_EQ(read.file.keys.size(), 2u);
    const RegFileKey& main = read.file.keys[0];
    EXPECT_EQ(main.path, fullKey_);
    EXPECT_FALSE(main.deleted);
    std::map<std::wstring, RegistryValue> exported;
    for (const RegFileValue& value : main.values) {
        ASSERT_TRUE(value.value) << Utf16ToUtf8(value.name);
        EXPECT_TRUE(exported.emplace(value.name, *value.value).second) << Utf16ToUtf8(value.name);
    }
    for (const auto& [name, value] : values) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        const auto found = exported.find(name);
        ASSERT_NE(found, exported.end());
        EXPECT_EQ(found->second.type, value.type);
        EXPECT_EQ(found->second.data, value.data);
    }
    EXPECT_EQ(exported.size(), values.size());
    EXPECT_EQ(
        read.file.keys[1],
        (RegFileKey{
            fullKey_ + L"\\Sub", false, {{L"Inner", RegistryValue{kRegDword, {7, 0, 0, 0}}}}}));
}

// Our writer and reg export agree on the form byte for byte, wrapping
// included, where both write the same: Wine writes a line feed in REG_SZ
// data as \n, which Windows' regedit does not read, and ends its file with
// one more blank line.
TEST_F(RegFileWithRegExe, OurWriterWritesWhatRegExportWrites) {
    std::map<std::wstring, RegistryValue> values = EveryKindOfValue();
    values.erase(L"LineFeed");
    const std::string exported = Export(values);
    const RegFileReadResult read = ReadRegFile(exported);
    ASSERT_TRUE(read) << read.message << " at " << read.offset;
    EXPECT_EQ(WriteRegFile(read.file) + std::string("\r\0\n\0", 4), exported);
}

}  // namespace
}  // namespace quarn
