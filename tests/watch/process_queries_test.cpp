// The three matching rules of the process queries, on a fixed process list.

#include <gtest/gtest.h>

#include "system/memory_registry.h"
#include "system/registry_access.h"
#include "watch/process_queries.h"

namespace quarn {
namespace {

const std::vector<ProcessEntry> kProcesses = {
    {4, 0, L"System"},
    {400, 4, L"smss.exe"},
    {1200, 1100, L"Explorer.EXE"},
    {1300, 1200, L"watchdog.exe"},
    {1400, 1200, L"C:\\Apps\\browser.exe"},  // an entry that carries a folder
    {1500, 1200, L"explorer.exe"},
    {1600, 1200, L"K\u00DCCHE.exe"},
};

TEST(FileNamePart, AfterTheLastBackslashSlashOrColon) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"C:\\Apps\\browser.exe", L"browser.exe"},
        {L"C:browser.exe", L"browser.exe"},
        {L"browser.exe", L"browser.exe"},
        {L"C:/Apps/kiosk.exe", L"kiosk.exe"},  // as Windows, "/" separates too
        {L"C:\\Apps/kiosk\\bin/kiosk.exe", L"kiosk.exe"},
        {L"C:\\Apps\\", L""},
        {L"C:/Apps/", L""},
        {L"", L""},
    };
    for (const auto& [name, fileName] : rows) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        EXPECT_EQ(FileNamePart(name), fileName);
    }
}

TEST(IsProgramRunning, WholeFileNamesWithTheLocalesCase) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"WATCHDOG.EXE", true},
        {L"watchdog.exe", true},
        {L"watchdog", false},                 // whole names only
        {L"C:\\Tools\\watchdog.exe", false},  // a name with a folder never matches
        {L"browser.exe", true},               // the entry's file-name part counts
        {L"k\u00FCche.EXE", true},            // the locale's case, beyond A to Z
        {L"", false},
    };
    for (const auto& [name, running] : rows) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        EXPECT_EQ(IsProgramRunningIn(kProcesses, name, PlatformLocaleCase()), running);
    }
}

TEST(FindProcessIdByName, UpperCasedFragmentsOfTheFileName) {
    const std::pair<const wchar_t*, std::uint32_t> rows[] = {
        {L"explorer.exe", 1200u},            // the first of two, listed as Explorer.EXE
        {L"plorer", 1200u},                  // a fragment matches
        {L"C:\\Windows\\explorer.exe", 0u},  // a folder never matches
        {L"BROWSER", 1400u},
        {L"k\u00FCche", 0u},  // only a to z change case
        {L"K\u00DCCHE", 1600u},
        {L"", 0u},
    };
    for (const auto& [text, processId] : rows) {
        SCOPED_TRACE(std::string(text, text + wcslen(text)));
        EXPECT_EQ(FindProcessIdIn(kProcesses, text), processId);
    }
}

TEST(OpenProcessTokenByName, TheWholeEntryLowerCasedAndOnlyTheFirst) {
    const std::pair<const wchar_t*, std::optional<std::uint32_t>> rows[] = {
        {L"Explorer.exe", 1200u},          {L"EXPLORER.EXE", 1200u},
        {L"browser.exe", std::nullopt},  // the entry's whole text, folder included
        {L"c:\\apps\\BROWSER.exe", 1400u}, {L"explorer", std::nullopt},
    };
    for (const auto& [name, processId] : rows) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        EXPECT_EQ(TokenCandidateIn(kProcesses, name, PlatformLocaleCase()), processId);
    }
}

TEST(ReadMachineShell, TheMachineWideShellValue) {
    MemoryRegistry registry;
    EXPECT_EQ(ReadMachineShell(registry), L"");
    RegistryAccess access(kKeyAllAccess, registry);
    access.SetRootKey(RegistryRoot::LocalMachine);
    ASSERT_TRUE(
        access.OpenKey(L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true));
    access.WriteString(L"Shell", L"explorer.exe");
    EXPECT_EQ(ReadMachineShell(registry), L"explorer.exe");
    access.WriteInteger(L"Shell", 1);
    EXPECT_THROW(ReadMachineShell(registry), RegistryError);
}

}  // namespace
}  // namespace quarn
