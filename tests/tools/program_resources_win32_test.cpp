// Every program a station gets carries the release in its version resource,
// an icon, and a manifest with the rights it runs with: an administrator
// looking at a file's properties, or Windows deciding whether to elevate,
// sees what we meant. watch.exe also carries the message table that Event
// Viewer renders the service's entries with.

#include <windows.h>
// After windows.h, which it needs.
#include <winver.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/handle_win32.h"
#include "system/release.h"
#include "watch_messages.h"

namespace quarn {
namespace {

struct ProgramCase {
    const char* path;
    const wchar_t* internalName;
    const char* executionLevel;
};

const ProgramCase kPrograms[] = {
    {QUARN_CONFIGURATOR_EXE, L"quarn", "requireAdministrator"},
    {QUARN_WATCH_EXE, L"watch", "asInvoker"},
    {QUARN_WATCHDOG_EXE, L"watchdog", "asInvoker"},
    {QUARN_DUMMY_EXE, L"dummy", "asInvoker"},
    {QUARN_VERSION_EXE, L"version", "asInvoker"},
    {QUARN_QUARNCTL_EXE, L"quarnctl", "asInvoker"},
    {QUARN_UNINSTALL_EXE, L"uninstall", "requireAdministrator"},
};

std::wstring Wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::wstring StringValue(const std::vector<BYTE>& block, const wchar_t* name) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0) {
        return L"<missing>";
    }
    return std::wstring(static_cast<const wchar_t*>(value));
}

std::string ManifestOf(HMODULE module) {
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) {
        return {};
    }
    const HGLOBAL loaded = ::LoadResource(module, found);
    const auto* text = static_cast<const char*>(::LockResource(loaded));
    return std::string(text, ::SizeofResource(module, found));
}

class ProgramResources : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramResources, CarryTheReleaseAnIconAndTheirManifest) {
    const ProgramCase& program = GetParam();
    const std::wstring path = Wide(program.path);

    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << program.path << ": no version resource";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    EXPECT_EQ(StringValue(block, L"FileVersion"), BuiltInReleaseW);
    EXPECT_EQ(StringValue(block, L"ProductVersion"), BuiltInReleaseW);
    EXPECT_EQ(StringValue(block, L"ProductName"), L"QUARN");
    EXPECT_EQ(StringValue(block, L"OriginalFilename"),
              std::wstring(program.internalName) + L".exe");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    // The release's digits in order, 253.9162, since a part holds at most 65535.
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS) * 10000u + LOWORD(fixed->dwFileVersionMS),
              std::stoul(BuiltInRelease));

    const win32::unique_hmodule module(::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module) << program.path;
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr)
        << program.path << ": no icon";
    const std::string manifest = ManifestOf(module.get());
    EXPECT_NE(manifest.find(std::string("level=\"") + program.executionLevel + "\""),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos)
        << manifest;
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, ProgramResources, ::testing::ValuesIn(kPrograms),
                         [](const auto& param) {
                             const std::wstring name = param.param.internalName;
                             return std::string(name.begin(), name.end());
                         });

// What Event Viewer does with an entry of the source "watch.exe": the message
// of the entry's ID in the message file, with the entry's string inserted.
TEST(WatchMessages, TheEntrysTextIsItsWholeDescription) {
    const win32::unique_hmodule module(
        ::LoadLibraryExW(Wide(QUARN_WATCH_EXE).c_str(), nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module);
    EXPECT_NE(::FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MESSAGETABLE), nullptr);
    for (const std::wstring text : {L"Fehler beim Holen der Daten f\u00FCr 'QUARN-Release'",
                                    L"100% of 5 starts failed", L"line one\r\nline two"}) {
        const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
        wchar_t* rendered = nullptr;
        const DWORD length = ::FormatMessageW(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                FORMAT_MESSAGE_ARGUMENT_ARRAY,
            module.get(), QUARN_EVENT_TEXT, 0, reinterpret_cast<wchar_t*>(&rendered), 0,
            reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
        const win32::unique_hlocal owner(rendered);
        ASSERT_GT(length, 0u) << "FormatMessageW: " << ::GetLastError();
        EXPECT_EQ(std::wstring(rendered, length), text);
    }
}

}  // namespace
}  // namespace quarn
