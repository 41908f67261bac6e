// A station's life, in a fresh Wine prefix, with the package an administrator
// gets: setup.exe installed silently, the configurator's first start, the
// Wine user's account locked and locked down, the watch service keeping the
// station's application running, an upgrade over it into another folder
// (after which the first folder is deleted), a restore that brings the
// station's registry back to what it was before the lock, an upgrade that
// writes the recommended lock catalogue anew, the silent removal refused
// while Lock Down is on and forced, which keeps the station's configuration,
// a reinstallation that finds it, and the removal of everything.
//
// scripts/station-test makes the prefix and the packages and runs this
// program. Wine aborts a process that sets an account password, so for the
// lock the installed quarn.exe is replaced by the Wine test build of the same
// program, whose account operations are recorded; the upgrade package
// carries a recording stand-in for version.exe (Wine's event log keeps
// nothing), so that the test can count the post-update runs.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/policy_row_applier.h"
#include "catalogue/policy_table.h"
#include "catalogue/recommended_catalogue.h"
#include "e2e/configurator_driver_win32.h"
#include "quarn/form1_ids.h"
#include "quarn/logon_shell.h"
#include "support/catalogue_keys.h"
#include "support/driver_win32.h"
#include "support/registry_snapshot.h"
#include "support/screenshot_win32.h"
#include "support/station_queries_win32.h"
#include "support/station_win32.h"
#include "support/temp_folder.h"
#include "system/accounts_win32.h"
#include "system/admin_password.h"
#include "system/file_io.h"
#include "system/handle_win32.h"
#include "system/memory_registry.h"
#include "system/registry_access.h"
#include "system/release.h"
#include "system/restore_point.h"
#include "system/settings.h"
#include "system/text_case.h"
#include "system/text_encoding.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using namespace test;

constexpr wchar_t kPassword[] = L"station1";
// The recommended lock catalogue for Windows 10 and 11, in the installation
// folder.
constexpr wchar_t kInstalledCatalogue[] = L"catalogues\\lock-windows10-11.xml";
// What the package puts into the installation folder.
constexpr const wchar_t* kPackageFiles[] = {
    L"quarn.exe",     L"watch.exe",        L"watchdog.exe",  L"dummy.exe",
    L"version.exe",   L"quarnctl.exe",     L"quarn.chm",     L"README.txt",
    L"README-de.txt", kInstalledCatalogue, L"uninstall.exe", L"uninstall.dat"};
constexpr wchar_t kUninstallKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QUARN";
constexpr wchar_t kEventSourceKey[] =
    L"\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\watch.exe";

std::filesystem::path FromEnvironment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path ExpectedInstallFolder() {
    return FromEnvironment(L"ProgramFiles") / L"QUARN";
}

std::optional<RegistryValue> ValueAt(RegistryBackend& registry, RegistryRoot root,
                                     const std::wstring& path, const std::wstring& name) {
    KeyHandle key{};
    if (registry.OpenKey(registry.Root(root), path, kKeyRead, key) != 0) {
        return std::nullopt;
    }
    RegistryValue value;
    const long result = registry.QueryValue(key, name, value);
    registry.CloseKey(key);
    return result == 0 ? std::optional(value) : std::nullopt;
}

std::wstring UninstallEntry(const wchar_t* name) {
    RegistryAccess access(kKeyRead);
    access.SetRootKey(RegistryRoot::LocalMachine);
    return access.OpenKeyReadOnly(kUninstallKey) ? access.ReadString(name) : L"<no entry>";
}

// The programs list's silent removal, as a deployment tool runs it, with
// options added after its /S.
std::wstring QuietRemoval(const std::wstring& options = L"") {
    std::wstring command = UninstallEntry(L"QuietUninstallString");
    const std::size_t silent = command.find(L" /S");
    if (!options.empty() && silent != std::wstring::npos) {
        command.insert(silent + 3, L" " + options);
    }
    return command;
}

// The event source of the service's entries: its message file and types, or
// nothing when it is not registered.
std::optional<std::pair<std::wstring, std::uint32_t>> EventSource() {
    const auto file = ValueAt(DefaultRegistry(), RegistryRoot::LocalMachine,
                              std::wstring(kEventSourceKey).substr(1), L"EventMessageFile");
    const auto types = ValueAt(DefaultRegistry(), RegistryRoot::LocalMachine,
                               std::wstring(kEventSourceKey).substr(1), L"TypesSupported");
    if (!file || !types || file->type != kRegExpandSz || types->data.size() != 4) {
        return std::nullopt;
    }
    std::wstring text;
    for (std::size_t i = 0; i + 1 < file->data.size(); i += 2) {
        const auto unit = static_cast<wchar_t>(file->data[i] | (file->data[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    std::uint32_t value = 0;
    std::memcpy(&value, types->data.data(), 4);
    return std::pair(text, value);
}

// The sections of a program file by name, each with its bytes in the file.
std::map<std::string, std::string> SectionsOf(const std::filesystem::path& program) {
    const std::string image = ReadWholeFile(program);
    const auto at = [&](std::size_t offset, auto& into) {
        if (offset + sizeof into <= image.size()) {
            std::memcpy(&into, image.data() + offset, sizeof into);
        }
    };
    IMAGE_DOS_HEADER dos{};
    at(0, dos);
    IMAGE_FILE_HEADER file{};
    const std::size_t fileHeader = static_cast<std::size_t>(dos.e_lfanew) + 4;
    at(fileHeader, file);
    // Names longer than eight characters are "/" and an offset into the
    // string table behind the symbols.
    const std::size_t strings = file.PointerToSymbolTable + file.NumberOfSymbols * 18u;
    std::map<std::string, std::string> sections;
    for (std::size_t i = 0; i < file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        at(fileHeader + sizeof file + file.SizeOfOptionalHeader + i * sizeof section, section);
        std::string name(reinterpret_cast<const char*>(section.Name),
                         strnlen(reinterpret_cast<const char*>(section.Name), 8));
        if (name.size() > 1 && name[0] == '/') {
            const std::size_t offset = strings + std::stoul(name.substr(1));
            name = offset < image.size() ? std::string(image.c_str() + offset) : "<unreadable>";
        }
        sections[name] = image.substr(std::min<std::size_t>(section.PointerToRawData, image.size()),
                                      section.SizeOfRawData);
    }
    return sections;
}

// The rows of a catalogue file, or -1 when it is not one.
int CatalogueRows(const std::filesystem::path& file) {
    PolicyTable table;
    try {
        table.LoadFromFile(file);
    } catch (const std::exception&) {
        return -1;
    }
    return table.RecordCount();
}

bool LogHas(const std::filesystem::path& log, const std::string& text) {
    for (const std::string& line : LogLines(log)) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The registered watch service, or none.
win32::unique_service OpenWatchService(DWORD access) {
    const win32::unique_service manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return win32::unique_service(::OpenServiceW(manager.get(), L"Service_watch", access));
}

std::wstring ServiceImagePath() {
    const win32::unique_service service = OpenWatchService(SERVICE_QUERY_CONFIG);
    if (!service) {
        return L"<no service>";
    }
    std::vector<std::uint8_t> buffer(8192);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        return L"<unreadable>";
    }
    return config->dwStartType == SERVICE_AUTO_START ? config->lpBinaryPathName
                                                     : L"<not started automatically>";
}

bool ServiceRunning() {
    const win32::unique_service service = OpenWatchService(SERVICE_QUERY_STATUS);
    return service && ServiceState(service.get()) == SERVICE_RUNNING;
}

bool ServiceRegistered() {
    return static_cast<bool>(OpenWatchService(SERVICE_QUERY_STATUS));
}

class Station : public ::testing::Test {
  protected:
    // Answers the password gate and returns the main window.
    static HWND PassTheGate(const StartedProgram& quarn) {
        if (!AnswerInputDialog(quarn.Id(), L"Input Password", kPassword)) {
            return nullptr;
        }
        return quarn.WindowOfClass(L"TForm1");
    }

    static void Close(const StartedProgram& quarn, HWND form) {
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        ASSERT_TRUE(quarn.Ended(30s));
    }

    void Install();
    void FirstStart();
    void LockAndLockDown();
    void ExpectLockCatalogueInRegistry() const;
    void KeepTheApplicationRunning();
    void UpgradeIntoAnotherFolder();
    void LeaveTheFirstFolder();
    void RestoreAfterTheUpgrade();
    void UpgradeWhileLockedDown();
    void RemoveWhileLockedDown();
    void ReinstallThenPurge();

    const std::filesystem::path setup_ = FromEnvironment(L"QUARN_STATION_SETUP");
    const std::filesystem::path upgrade_ = FromEnvironment(L"QUARN_STATION_UPGRADE");
    const std::filesystem::path folder_ = ExpectedInstallFolder();
    // Where the upgrade goes (/D= takes no quotes, whatever the blanks).
    const std::filesystem::path second_ = L"C:\\Stations\\QUARN two";
    TempFolder work_;
    const std::filesystem::path application_ = work_ / L"station app" / L"kioskapp.exe";
    std::wstring sid_;
    // What the lock and the catalogues can change, as the station had it
    // before the lock: the catalogues' keys, the machine's automatic logon
    // and the account's own shell.
    std::vector<std::pair<RegistryRoot, std::wstring>> StationKeys() const {
        auto keys = CatalogueKeys(sid_, {BuiltInLockCatalogue(), BuiltInUnlockCatalogue()});
        const std::wstring winlogon = std::wstring(kWinlogonKey).substr(1);
        keys.emplace_back(RegistryRoot::LocalMachine, winlogon);
        keys.emplace_back(RegistryRoot::Users, sid_ + L"\\" + winlogon);
        return keys;
    }
    KeysSnapshot beforeTheLock_;
};

void Station::Install() {
    ASSERT_TRUE(FileExists(setup_)) << "QUARN_STATION_SETUP names no package";
    ASSERT_EQ(RunToEnd(setup_, L"/S", 180s), 0u);

    for (const wchar_t* name : kPackageFiles) {
        EXPECT_TRUE(FileExists(folder_ / name)) << std::filesystem::path(name).string();
    }
    // The programs come without their debug information, each naming the
    // file beside the build that holds it.
    for (const wchar_t* name : kPackageFiles) {
        const std::filesystem::path program = folder_ / name;
        if (program.extension() != L".exe") {
            continue;
        }
        const auto sections = SectionsOf(program);
        ASSERT_TRUE(sections.count(".text")) << program.string();
        EXPECT_FALSE(sections.count(".debug_info")) << program.string();
        const auto link = sections.find(".gnu_debuglink");
        EXPECT_TRUE(link != sections.end() &&
                    std::string(link->second.c_str()) == program.filename().string() + ".debug")
            << program.string();
    }
    // The recommended catalogue, ready for "Open *.xml File", has every row
    // the build's own catalogue has.
    EXPECT_EQ(CatalogueRows(folder_ / kInstalledCatalogue),
              RecommendedLockCatalogue().RecordCount());
    EXPECT_EQ(ReadInstallDir(), folder_.wstring());
    EXPECT_EQ(ServiceImagePath(), L"\"" + (folder_ / L"watch.exe").wstring() + L"\"");
    EXPECT_TRUE(WaitUntil(ServiceRunning, 20s));
    EXPECT_EQ(UninstallEntry(L"DisplayVersion"), BuiltInReleaseW);
    EXPECT_EQ(UninstallEntry(L"UninstallString"),
              L"\"" + (folder_ / L"uninstall.exe").wstring() + L"\"");
    EXPECT_EQ(QuietRemoval(), L"\"" + (folder_ / L"uninstall.exe").wstring() + L"\" /S");
    EXPECT_EQ(EventSource(), std::pair((folder_ / L"watch.exe").wstring(), std::uint32_t{7}));
    // The service writes the update settings beside itself when it starts.
    EXPECT_TRUE(WaitUntil([&] { return FileExists(folder_ / L"quarn.ini"); }, 20s));
}

void Station::FirstStart() {
    // The installed configurator, as the Start menu starts it: in its folder.
    StartedProgram quarn(folder_ / L"quarn.exe");
    ASSERT_TRUE(quarn.Started());
    const HWND please = WaitForMessageText(quarn.Id(), L"please create Password");
    ASSERT_NE(please, nullptr);
    PressOk(please);
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Input Password", kPassword));
    ASSERT_TRUE(AnswerInputDialog(quarn.Id(), L"Repeat Password", kPassword));
    const HWND form = PassTheGate(quarn);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(DismissUnknownAccount(quarn.Id(), 15s));

    EXPECT_EQ(ReadPasswordDigest(), PasswordDigest(kPassword));
    EXPECT_EQ(ReadAccountName(), L"quarn");
    EXPECT_EQ(ReadInstallDir(), folder_.wstring());
    EXPECT_EQ(ReadProgramParameter(), L"-K https://www.morvil.example/");
    EXPECT_TRUE(FileExists(folder_ / L"quarn.xml"));
    EXPECT_TRUE(SaveArtefactScreenshot(form, "station-first-start.bmp"));

    // Help opens the installed quarn.chm from the configurator's folder.
    ::PostMessageW(form, WM_COMMAND, form1::kHelpId, 0);
    EXPECT_TRUE(WaitUntil([] { return Running(L"hh.exe"); }, 20s));
    EXPECT_EQ(WaitForMessageText(quarn.Id(), L"error loading file !  quarn.chm !", 1s), nullptr);
    EndAll(L"hh.exe");

    Close(quarn, form);
}

void Station::LockAndLockDown() {
    std::filesystem::copy_file(QUARN_CONFIGURATOR_STANDIN_EXE, folder_ / L"quarn.exe",
                               std::filesystem::copy_options::overwrite_existing);
    ::SetEnvironmentVariableW(L"QUARN_ACCOUNT_JOURNAL", (work_ / L"journal.txt").c_str());

    StartedProgram quarn(folder_ / L"quarn.exe");
    const HWND form = PassTheGate(quarn);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(DismissUnknownAccount(quarn.Id(), 15s));

    ASSERT_TRUE(EnterAccountName(form, CurrentUserName()));
    sid_ = CurrentUserSid();
    beforeTheLock_ = TakeKeys(DefaultRegistry(), StationKeys());
    Click(FindControl(form, form1::kLockId));
    ASSERT_TRUE(
        WaitUntil([&] { return WindowText(FindControl(form, form1::kSidLabelId)) == sid_; }, 15s));

    Click(FindControl(form, form1::kLockDownId));
    const HWND progress = FindControl(form, form1::kProgressBarId);
    ASSERT_TRUE(WaitUntil([&] { return ReadCompleteLockDown() == L"true"; }, 20s));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 90s));
    EXPECT_EQ(ReadAccountShell(sid_), (folder_ / L"watchdog.exe").wstring());
    EXPECT_TRUE(SaveArtefactScreenshot(form, "station-locked-down.bmp"));

    ExpectLockCatalogueInRegistry();

    // Lock Down off again: the account keeps its lock, the service looks after
    // its session. The station's application is a recording test program.
    Click(FindControl(form, form1::kLockDownId));
    ASSERT_TRUE(WaitUntil([&] { return ReadCompleteLockDown() == L"false"; }, 20s));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(progress); }, 90s));
    EXPECT_EQ(ReadAccountShell(sid_), L"explorer.exe");

    std::filesystem::create_directories(application_.parent_path());
    std::filesystem::copy_file(QUARN_TEST_APPLICATION_EXE, application_);
    const HWND program = FindControl(form, form1::kProgramId);
    SelectAll(program);
    TypeText(program, application_.wstring());
    const HWND parameter = FindControl(form, form1::kParameterId);
    SelectAll(parameter);
    TypeText(parameter, L"\"" + (work_ / L"starts.log").wstring() + L"\" 600");
    EXPECT_EQ(ReadProgram(), application_.wstring());

    Close(quarn, form);
    const std::string journal = ReadWholeFile(work_ / L"journal.txt");
    EXPECT_NE(journal.find("NetUserSetInfo"), std::string::npos);
    EXPECT_NE(journal.find("CreateProcessWithLogonW"), std::string::npos);
}

void Station::ExpectLockCatalogueInRegistry() const {
    // The lock catalogue, replayed by the same applier into an empty registry,
    // says what each place must hold; the station's registry holds it.
    MemoryRegistry expected;
    expected.LoadHive(sid_);
    PolicyTable lock = BuiltInLockCatalogue();
    int perUser = 0;
    int machine = 0;
    lock.First();
    for (int row = 1; row <= lock.RecordCount(); ++row, lock.Next()) {
        lock.Edit();
        ApplyPolicyRow(lock, {expected, sid_, 0ms});
        lock.Post();
    }
    // The "Auto Logon" box, off here, has the last word over the catalogue's
    // automatic-logon rows.
    WriteAutoLogon(false, L"", L"", expected);
    EXPECT_FALSE(ReadAutoLogonOn());
    lock.First();
    for (int row = 1; row <= lock.RecordCount(); ++row, lock.Next()) {
        const std::string type = lock.GetFieldText(kColumnDataType);
        if (lock.GetFieldText(kColumnStatus) != kStatusOn || type == "ADD_SUBTREE") {
            continue;
        }
        const std::string subtree = lock.GetFieldText(kColumnSubtree);
        const bool perUserRow = subtree.rfind("HKCU", 0) == 0;
        // The backend takes key paths without leading or trailing backslashes.
        std::wstring key = Cp1252ToUtf16(subtree.substr(subtree.find('\\') + 1));
        while (!key.empty() && key.back() == L'\\') {
            key.pop_back();
        }
        if (perUserRow) {
            key = sid_ + L"\\" + key;
        }
        const std::wstring name = Cp1252ToUtf16(lock.GetFieldText(kColumnSubkey));
        const RegistryRoot root = perUserRow ? RegistryRoot::Users : RegistryRoot::LocalMachine;
        const auto want = ValueAt(expected, root, key, name);
        const auto have = ValueAt(DefaultRegistry(), root, key, name);
        ASSERT_TRUE(want.has_value());
        EXPECT_TRUE(have && have->type == want->type && have->data == want->data)
            << "row " << lock.GetFieldText(kColumnIndex) << ": " << subtree << " "
            << lock.GetFieldText(kColumnSubkey);
        ++(perUserRow ? perUser : machine);
    }
    EXPECT_GT(perUser, 300);
    EXPECT_GT(machine, 30);
}

void Station::KeepTheApplicationRunning() {
    // dummy.exe holds the service back while it runs.
    ASSERT_TRUE(WaitUntil([] { return !Running(L"dummy.exe"); }, 70s));
    SetLastLogonUser(L"STATION\\" + CurrentUserName());
    ASSERT_TRUE(
        WaitUntil([] { return Running(L"kioskapp.exe") && Running(L"watchdog.exe"); }, 30s));
    EndAll(L"kioskapp.exe");
    EXPECT_TRUE(WaitUntil([] { return Running(L"kioskapp.exe"); }, 20s));
}

void Station::UpgradeIntoAnotherFolder() {
    ASSERT_TRUE(FileExists(upgrade_)) << "QUARN_STATION_UPGRADE names no package";
    ASSERT_EQ(RunToEnd(upgrade_, L"/S /D=" + second_.wstring(), 180s), 0u);
    EXPECT_TRUE(WaitUntil(ServiceRunning, 20s));
    // Everything names the new folder, the service's image path too.
    EXPECT_EQ(ReadInstallDir(), second_.wstring());
    EXPECT_EQ(UninstallEntry(L"InstallLocation"), second_.wstring());
    EXPECT_EQ(ServiceImagePath(), L"\"" + (second_ / L"watch.exe").wstring() + L"\"");
    EXPECT_EQ(EventSource(), std::pair((second_ / L"watch.exe").wstring(), std::uint32_t{7}));
    // The station's configuration came along.
    EXPECT_TRUE(FileExists(second_ / L"quarn.ini"));
    EXPECT_TRUE(FileExists(second_ / kRestorePointFileName));
    ASSERT_TRUE(FileExists(second_ / L"quarn.xml"));
    PolicyTable carried;
    carried.LoadFromFile(second_ / L"quarn.xml");
    EXPECT_EQ(carried.RecordCount(), 371);

    // The new service records its release and runs version.exe once, in the
    // station user's session, with a blank command line.
    const std::filesystem::path versionLog = second_ / L"version.exe.log";
    ASSERT_TRUE(WaitUntil([&] { return ReadRelease() == BuiltInReleaseW; }, 60s));
    ASSERT_TRUE(WaitUntil([&] { return LogLines(versionLog).size() == 1; }, 20s));
    // Several more ticks, each seen as the watchdog started again.
    for (int tick = 0; tick < 2; ++tick) {
        EndAll(L"watchdog.exe");
        ASSERT_TRUE(WaitUntil([] { return Running(L"watchdog.exe"); }, 30s));
    }
    EXPECT_TRUE(HoldsFor([&] { return LogLines(versionLog).size() == 1; }, 1500ms));
    const std::vector<std::string> runs = LogLines(versionLog);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs.front(), "[ ]");
    EXPECT_EQ(ReadRelease(), BuiltInReleaseW);
    std::filesystem::remove(versionLog);  // the stand-in's, not the station's
    // Without Lock Down the running watchdog was ended and replaced at once.
    EXPECT_FALSE(FileExists(second_ / L"watchdog.exe.new"));

    // The station goes on as before.
    EndAll(L"kioskapp.exe");
    EXPECT_TRUE(WaitUntil([] { return Running(L"kioskapp.exe"); }, 30s));
}

void Station::LeaveTheFirstFolder() {
    // Nothing of the station needs the first folder any more: with it gone,
    // the service starts again and keeps the station's programs running.
    const win32::unique_service service =
        OpenWatchService(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_TRUE(service);
    ASSERT_TRUE(StopService(service.get()));
    EndAll(L"watchdog.exe");
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_TRUE(::StartServiceW(service.get(), 0, nullptr))
        << "StartServiceW: " << ::GetLastError();
    EXPECT_TRUE(WaitUntil(ServiceRunning, 20s));
    EXPECT_TRUE(WaitUntil([] { return Running(L"watchdog.exe"); }, 30s));
}

void Station::RestoreAfterTheUpgrade() {
    // The restore point came along with the upgrade; the installed quarnctl
    // gives the station back every value and key as it was before the lock.
    ASSERT_TRUE(FileExists(second_ / kRestorePointFileName));
    ASSERT_EQ(RunToEnd(second_ / L"quarnctl.exe", L"restore", 120s), 0u);
    EXPECT_EQ(TakeKeys(DefaultRegistry(), StationKeys()), beforeTheLock_);
    EXPECT_EQ(ReadCompleteLockDown(), L"false");
    // Put aside under its date, so that the next lock records afresh.
    EXPECT_FALSE(FileExists(second_ / kRestorePointFileName));
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(second_)) {
        kept += entry.path().filename().wstring().starts_with(L"quarn-restore-");
    }
    EXPECT_EQ(kept, 1);
}

void Station::UpgradeWhileLockedDown() {
    // Lock Down on, and the account's shell still the first folder's
    // watchdog, as an upgrade into another folder used to leave it: the next
    // upgrade makes it the installed folder's.
    WriteAccountShell(sid_, (folder_ / L"watchdog.exe").wstring());
    WriteCompleteLockDown(true);
    // The recommended catalogue is the package's: an upgrade writes it anew
    // over whatever lies there.
    const std::filesystem::path catalogue = second_ / kInstalledCatalogue;
    BuiltInUnlockCatalogue().SaveToFile(catalogue);
    ASSERT_NE(CatalogueRows(catalogue), RecommendedLockCatalogue().RecordCount());
    ASSERT_EQ(RunToEnd(upgrade_, L"/S", 180s), 0u);
    EXPECT_EQ(CatalogueRows(catalogue), RecommendedLockCatalogue().RecordCount());
    EXPECT_EQ(ReadAccountShell(sid_), (second_ / L"watchdog.exe").wstring());
    EXPECT_EQ(ReadCompleteLockDown(), L"true");
    EXPECT_EQ(ReadInstallDir(), second_.wstring());
    // The service's post-update run of the stand-in, which writes beside it.
    const std::filesystem::path versionLog = second_ / L"version.exe.log";
    ASSERT_TRUE(WaitUntil([&] { return ReadRelease() == BuiltInReleaseW; }, 60s));
    ASSERT_TRUE(WaitUntil([&] { return LogLines(versionLog).size() == 1; }, 20s));
    std::filesystem::remove(versionLog);
}

void Station::RemoveWhileLockedDown() {
    // The station as "Lock Down" leaves it: the watchdog is the account's shell.
    const std::wstring watchdog = (second_ / L"watchdog.exe").wstring();
    ASSERT_EQ(ReadAccountShell(sid_), watchdog);
    ASSERT_EQ(ReadCompleteLockDown(), L"true");
    const std::filesystem::path log = second_ / L"uninstall.log";

    // Silently, and without /FORCE, the removal is refused and says so.
    const ScriptRun refused = RunAsScriptDoes(QuietRemoval(), 90s);
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_FALSE(refused.workLeftRunning);
    for (const wchar_t* name : kPackageFiles) {
        EXPECT_TRUE(FileExists(second_ / name)) << std::filesystem::path(name).string();
    }
    EXPECT_TRUE(ServiceRegistered());
    EXPECT_TRUE(LogHas(log, "Silent removal refused: Lock Down is on"));
    EXPECT_EQ(ReadAccountShell(sid_), watchdog);
    EXPECT_EQ(ReadCompleteLockDown(), L"true");

    // With /FORCE the account gets explorer.exe back first; the removal has
    // ended when the command returns.
    const ScriptRun forced = RunAsScriptDoes(QuietRemoval(L"/FORCE"), 90s);
    EXPECT_EQ(forced.exitCode, 0u);
    EXPECT_FALSE(forced.workLeftRunning) << "the command returned while the removal went on";
    EXPECT_EQ(ReadAccountShell(sid_), L"explorer.exe");
    EXPECT_EQ(ReadCompleteLockDown(), L"false");
    EXPECT_TRUE(LogHas(log, "now has explorer.exe as its shell")) << ReadWholeFile(log);
    for (const wchar_t* name : kPackageFiles) {
        EXPECT_FALSE(FileExists(second_ / name)) << std::filesystem::path(name).string();
    }
    // Its folder goes with it: it holds nothing of the station's.
    EXPECT_FALSE(std::filesystem::exists((second_ / kInstalledCatalogue).parent_path()));
    EXPECT_FALSE(ServiceRegistered());
    EXPECT_EQ(UninstallEntry(L"DisplayVersion"), L"<no entry>");
    EXPECT_EQ(EventSource(), std::nullopt);

    // The station's configuration stays for a later installation.
    EXPECT_TRUE(FileExists(second_ / L"quarn.xml"));
    EXPECT_TRUE(FileExists(second_ / L"quarn.ini"));
    EXPECT_EQ(ReadPasswordDigest(), PasswordDigest(kPassword));
    EXPECT_EQ(ReadAccountName(), LowerAZ(CurrentUserName()));
    EXPECT_EQ(ReadProgram(), application_.wstring());
    EXPECT_EQ(ReadInstallDir(), second_.wstring());
    PolicyTable saved;
    saved.LoadFromFile(second_ / L"quarn.xml");
    EXPECT_EQ(saved.RecordCount(), 371);
}

void Station::ReinstallThenPurge() {
    // Without /D= a reinstallation goes where the kept configuration is, and
    // finds the station as it was left.
    ASSERT_EQ(RunToEnd(setup_, L"/S", 180s), 0u);
    EXPECT_TRUE(WaitUntil(ServiceRunning, 20s));
    EXPECT_EQ(ReadInstallDir(), second_.wstring());
    EXPECT_TRUE(FileExists(second_ / L"quarn.exe"));
    EXPECT_FALSE(std::filesystem::exists(folder_));
    EXPECT_EQ(ServiceImagePath(), L"\"" + (second_ / L"watch.exe").wstring() + L"\"");
    EXPECT_EQ(ReadPasswordDigest(), PasswordDigest(kPassword));
    EXPECT_EQ(ReadProgram(), application_.wstring());

    // Asked for, the removal takes the configuration too, and it has ended
    // when the command returns.
    const ScriptRun purged = RunAsScriptDoes(QuietRemoval(L"/PURGE"), 90s);
    EXPECT_EQ(purged.exitCode, 0u);
    EXPECT_FALSE(purged.workLeftRunning) << "the command returned while the removal went on";
    EXPECT_FALSE(std::filesystem::exists(second_));
    EXPECT_FALSE(ServiceRegistered());
    EXPECT_EQ(EventSource(), std::nullopt);
    RegistryAccess settings(kKeyRead | kSettingsView);
    settings.SetRootKey(RegistryRoot::LocalMachine);
    EXPECT_FALSE(settings.OpenKeyReadOnly(kSettingsKey));
}

TEST_F(Station, InstallConfigureLockDownUpgradeAndUninstall) {
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(FirstStart());
    ASSERT_NO_FATAL_FAILURE(LockAndLockDown());
    ASSERT_NO_FATAL_FAILURE(KeepTheApplicationRunning());
    ASSERT_NO_FATAL_FAILURE(UpgradeIntoAnotherFolder());
    ASSERT_NO_FATAL_FAILURE(LeaveTheFirstFolder());
    ASSERT_NO_FATAL_FAILURE(RestoreAfterTheUpgrade());
    ASSERT_NO_FATAL_FAILURE(UpgradeWhileLockedDown());
    ASSERT_NO_FATAL_FAILURE(RemoveWhileLockedDown());
    ASSERT_NO_FATAL_FAILURE(ReinstallThenPurge());
    EndAll(L"watchdog.exe");  // first: it would start the application again
    EndAll(L"kioskapp.exe");
    ClearLastLogonUser();
}

}  // namespace
}  // namespace quarn
