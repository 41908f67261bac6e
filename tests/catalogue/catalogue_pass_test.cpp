// The catalogue pass and the life of the lock table's file, with a window
// that records what it was asked to do.

#include <gtest/gtest.h>

#include <functional>

#include "catalogue/builtin_catalogues.h"
#include "catalogue/catalogue_pass.h"
#include "catalogue/value_conversion.h"
#include "support/catalogue_keys.h"
#include "support/registry_backends.h"
#include "support/registry_snapshot.h"
#include "support/station_restore_fake.h"
#include "support/temp_folder.h"
#include "system/file_io.h"
#include "system/memory_registry.h"
#include "system/registry_access.h"
#include "system/restore_point.h"
#include "system/station_restore.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

class RecordingWindow : public CatalogueWindow {
  public:
    bool lockDown = false;
    std::optional<std::filesystem::path> choice;
    bool answer = false;  // to every question
    std::function<void()> onPump;
    std::vector<std::string> journal;

    bool LockDownChecked() override { return lockDown; }
    void SetMenuEnabled(bool enabled) override { Note(enabled ? "menu on" : "menu off"); }
    void SetProgressVisible(bool visible) override {
        Note(visible ? "progress shown" : "progress hidden");
    }
    void SetProgressRange(int minimum, int maximum) override {
        Note("range " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetProgressPosition(int position) override {
        Note("position " + std::to_string(position));
    }
    void ProcessMessages() override {
        Note("pump");
        if (onPump) {
            onPump();
        }
    }
    std::optional<std::filesystem::path> ChooseCatalogueFile() override {
        Note("dialog");
        return choice;
    }
    void ShowMessage(const std::string& text) override { Note("message " + text); }
    bool AskYesNo(const std::string& text) override {
        Note("question " + text);
        return answer;
    }

  private:
    void Note(std::string entry) { journal.push_back(std::move(entry)); }
};

const std::wstring kSid = L"S-1-5-21-3623811015-3361044348-30300820-1013";

// The value a catalogue row names, read past the registry layer.
std::optional<RegistryValue> StoredValue(RegistryBackend& registry, const std::wstring& sid,
                                         const std::string& subtree, const std::string& subkey) {
    const bool perUser = subtree.starts_with("HKCU");
    std::wstring path = Cp1252ToUtf16(subtree.substr(subtree.find('\\') + 1));
    if (perUser) {
        path = sid + L"\\" + path;
    }
    KeyHandle key{};
    if (registry.OpenKey(registry.Root(perUser ? RegistryRoot::Users : RegistryRoot::LocalMachine),
                         path, kKeyRead, key) != kErrorSuccess) {
        return std::nullopt;
    }
    const OwnedKey owner(registry, key);
    RegistryValue value;
    if (registry.QueryValue(key, Cp1252ToUtf16(subkey), value) != kErrorSuccess) {
        return std::nullopt;
    }
    return value;
}

// The registry data a row's KEYVALUE stands for.
RegistryValue Expected(const BuiltInRow& row, const char* keyValue) {
    const std::string type = row.dataType;
    if (type == "REG_DWORD") {
        const auto bits = static_cast<std::uint32_t>(*TextToInteger(keyValue));
        return {kRegDword,
                {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                 static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}};
    }
    if (type == "REG_BINARY") {
        return {kRegBinary, HexTextToBytes(keyValue)};
    }
    RegistryValue text{kRegSz, {}};
    for (const wchar_t unit : Cp1252ToUtf16(keyValue)) {
        text.data.push_back(static_cast<std::uint8_t>(unit));
        text.data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    text.data.insert(text.data.end(), {0, 0});
    return text;
}

bool Applied(const BuiltInRow& row) {
    return std::string(row.status) == "aktiviert" && std::string(row.dataType).starts_with("REG_");
}

class CataloguePass : public ::testing::Test {
  protected:
    CataloguePass() { registry_.LoadHive(kSid); }

    std::unique_ptr<PolicyCatalogues> Start() {
        return std::make_unique<PolicyCatalogues>(folder_.Path(), window_, registry_,
                                                  std::chrono::milliseconds(0));
    }

    std::filesystem::path QuarnXml() const { return folder_ / "quarn.xml"; }
    std::filesystem::path Backup() const { return folder_ / "quarn.xml.bak"; }

    std::optional<RegistryValue> Value(const std::string& subtree, const std::string& subkey) {
        return StoredValue(registry_, kSid, subtree, subkey);
    }

    test::TempFolder folder_;
    MemoryRegistry registry_;
    RecordingWindow window_;
};

TEST_F(CataloguePass, TheBoxChoosesTheOnlyTableWalked) {
    auto catalogues = Start();
    for (const bool lockDown : {true, false}) {
        SCOPED_TRACE(lockDown);
        const std::size_t lockVersions = catalogues->CDSLOCK.Content().versions.size();
        const std::size_t unlockVersions = catalogues->CDSUNLOCK.Content().versions.size();
        window_.lockDown = lockDown;
        EXPECT_TRUE(catalogues->WriteAllClick(kSid));
        // Every switched-on row that passed the gate posted a new STATUS.
        EXPECT_EQ(catalogues->CDSLOCK.Content().versions.size(),
                  lockVersions + (lockDown ? 349 : 0));
        EXPECT_EQ(catalogues->CDSUNLOCK.Content().versions.size(),
                  unlockVersions + (lockDown ? 0 : 349));
    }
}

TEST_F(CataloguePass, UnlockRowsThatFailedStaySkippedForTheRun) {
    registry_.UnloadHive(kSid);
    auto catalogues = Start();
    window_.lockDown = false;
    catalogues->WriteAllClick(kSid);
    registry_.LoadHive(kSid);  // the account logged on meanwhile
    catalogues->WriteAllClick(kSid);
    EXPECT_FALSE(Value("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                       "NoDesktop"));
    EXPECT_TRUE(Value("HKLM\\System\\CurrentControlSet\\Control\\Windows", "ErrorMode"));
    PolicyTable& table = catalogues->CDSUNLOCK;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i, table.Next()) {
        if (table.GetFieldText(kColumnSubtree).starts_with("HKCU")) {
            EXPECT_EQ(table.GetFieldText(kColumnStatus), "deaktiviert");
        }
    }
}

TEST_F(CataloguePass, ProgressAndMenuAroundTheWalk) {
    struct Case {
        int rows;
        std::vector<std::string> journal;
    };
    const Case cases[] = {
        {0, {"menu off", "progress shown", "pump", "range 0..0", "progress hidden", "menu on"}},
        {1,
         {"menu off", "progress shown", "pump", "range 1..1", "pump", "position 1",
          "progress hidden", "menu on"}},
        {3,
         {"menu off", "progress shown", "pump", "range 1..3", "pump", "position 1", "pump",
          "position 2", "pump", "position 3", "progress hidden", "menu on"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        auto catalogues = Start();
        PolicyTable table;
        table.CreateDataSet();
        for (int i = 0; i < c.rows; ++i) {
            table.AppendRow({5000 + i, "HKLM\\Software\\Pass", "V" + std::to_string(i), "1",
                             "REG_DWORD", "XP", "aktiviert", ""});
        }
        catalogues->CDSUNLOCK = std::move(table);
        window_.journal.clear();
        catalogues->WriteAllClick(kSid);
        EXPECT_EQ(window_.journal, c.journal);
        EXPECT_EQ(catalogues->CDSUNLOCK.Content().versions.size(),
                  static_cast<std::size_t>(2 * c.rows));
        if (c.rows > 0) {
            EXPECT_EQ(catalogues->CDSUNLOCK.RecNo(), c.rows);  // the cursor stays on the last row
        }
    }
}

TEST_F(CataloguePass, AnErrorInTheWalkStillRestoresMenuAndProgress) {
    auto catalogues = Start();
    catalogues->CDSLOCK.Close();  // a closed table cannot be walked
    window_.lockDown = true;
    window_.journal.clear();
    EXPECT_THROW(catalogues->WriteAllClick(kSid), Error);
    EXPECT_EQ(window_.journal, (std::vector<std::string>{"menu off", "progress shown", "pump",
                                                         "progress hidden", "menu on"}));
    EXPECT_FALSE(catalogues->PassRunning());
}

// Nothing is changed that the restore point could not record first: a
// damaged one (kept as it is) and one that cannot be written (here a folder
// stands where the file would go) stop the pass before its first row.
TEST_F(CataloguePass, ARestorePointThatCannotRecordStopsThePassBeforeAnyRow) {
    const std::filesystem::path file = folder_ / kRestorePointFileName;
    const struct {
        const char* name;
        std::function<void()> spoil;
        const char* message;
    } cases[] = {
        {"damaged",
         [&] { ReplaceFileContents(file, "Windows Registry Editor Version 5.00\r\n[HKEY_"); },
         "at byte"},
        {"cannot be written", [&] { std::filesystem::create_directory(file); },
         "could not be written"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(file);
        row.spoil();
        const test::Snapshot before = test::Take(registry_, RegistryRoot::Users, kSid);
        auto catalogues = Start();
        const std::string lockTable = catalogues->CDSLOCK.SaveToBytes();
        window_.lockDown = true;
        window_.journal.clear();
        EXPECT_FALSE(catalogues->WriteAllClick(kSid));
        ASSERT_EQ(window_.journal.size(), 6u);
        EXPECT_NE(window_.journal[3].find(row.message), std::string::npos) << window_.journal[3];
        EXPECT_EQ(window_.journal.back(), "menu on");
        EXPECT_EQ(test::Take(registry_, RegistryRoot::Users, kSid), before);
        EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), lockTable);  // no row posted a STATUS
        if (FileExists(file)) {
            EXPECT_EQ(ReadWholeFile(file), "Windows Registry Editor Version 5.00\r\n[HKEY_");
        }
    }
}

TEST_F(CataloguePass, EachPassWritesBelowTheSidItIsGiven) {
    const std::wstring other = L"S-1-5-21-3623811015-3361044348-30300820-1014";
    registry_.LoadHive(other);
    auto catalogues = Start();
    window_.lockDown = true;
    // Made for the call alone: the pass keeps no hold on the SID it was given.
    catalogues->WriteAllClick(std::wstring(kSid));
    window_.lockDown = false;
    catalogues->WriteAllClick(other);
    const std::string explorer =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    const auto locked = StoredValue(registry_, kSid, explorer, "NoDesktop");
    const auto unlocked = StoredValue(registry_, other, explorer, "NoDesktop");
    ASSERT_TRUE(locked && unlocked);
    EXPECT_EQ(locked->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(unlocked->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(CataloguePass, AQuarnXmlThatIsNoCatalogueIsRefusedAndKept) {
    // The catalogue with SUBTREE and SUBKEY swapped: a datapacket that loads,
    // but whose columns the applier would read at the wrong positions.
    std::string swapped = BuiltInLockCatalogue().SaveToBytes();
    const std::string subtree = R"(<FIELD attrname="SUBTREE" fieldtype="string" WIDTH="255"/>)";
    const std::string subkey = R"(<FIELD attrname="SUBKEY" fieldtype="string" WIDTH="50"/>)";
    ASSERT_NE(swapped.find(subtree + subkey), std::string::npos);
    swapped.replace(swapped.find(subtree + subkey), subtree.size() + subkey.size(),
                    subkey + subtree);
    struct Case {
        const char* name;
        std::string file;
        bool bound;  // as after a first start, with a pass since
    };
    const Case cases[] = {
        {"columns in another order", swapped, false},
        {"columns in another order, table bound and changed", swapped, true},
        {"not a datapacket", "not a catalogue", false},
        {"not a datapacket, table bound and changed", "not a catalogue", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(QuarnXml());
        {
            auto catalogues = Start();
            if (c.bound) {
                catalogues->EnsureLockCatalogueFile();
                window_.lockDown = true;
                catalogues->WriteAllClick(kSid);
            }
            ReplaceFileContents(QuarnXml(), c.file);  // the administrator's new file
            const std::string table = catalogues->CDSLOCK.SaveToBytes();
            window_.journal.clear();
            EXPECT_FALSE(catalogues->ReloadLockCatalogue());
            EXPECT_EQ(window_.journal, (std::vector<std::string>{"message Error loading file."}));
            EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), table);
            EXPECT_EQ(ReadWholeFile(QuarnXml()), c.file);
        }  // the program's end
        EXPECT_EQ(ReadWholeFile(QuarnXml()), c.file);
    }
}

TEST_F(CataloguePass, ASecondPassIsRefusedWhileOneRuns) {
    auto catalogues = Start();
    int nested = 0;
    window_.onPump = [&] {
        if (nested++ == 5) {
            EXPECT_FALSE(catalogues->WriteAllClick(kSid));
            // Refused as well: the table is being walked.
            EXPECT_FALSE(catalogues->ReloadLockCatalogue());
        }
    };
    ReplaceFileContents(QuarnXml(), "not a catalogue");
    window_.lockDown = true;
    EXPECT_TRUE(catalogues->WriteAllClick(kSid));
    EXPECT_EQ(catalogues->CDSLOCK.Content().versions.size(), 371u + 349u);  // each row once
    for (const std::string& entry : window_.journal) {
        EXPECT_FALSE(entry.starts_with("message")) << entry;  // quarn.xml was not even read
    }
}

TEST_F(CataloguePass, FirstStartWritesQuarnXmlAndTheEndWritesThePassesStatus) {
    {
        auto catalogues = Start();
        catalogues->EnsureLockCatalogueFile();
        EXPECT_EQ(ReadWholeFile(QuarnXml()), BuiltInLockCatalogue().SaveToBytes());
        EXPECT_EQ(catalogues->CDSLOCK.FileName(), QuarnXml());
        registry_.UnloadHive(kSid);  // per-user rows fail and change their STATUS
        window_.lockDown = true;
        catalogues->ReloadLockCatalogue();
        catalogues->WriteAllClick(kSid);
    }
    PolicyTable saved;
    saved.LoadFromFile(QuarnXml());
    EXPECT_EQ(saved.RecordCount(), 371);
    EXPECT_EQ(saved.Content().versions.size(), 371u + 349u);
    EXPECT_EQ(saved.Content().changeLog.size(), 349u);
}

TEST_F(CataloguePass, ALaterStartWithQuarnXmlWritesNothing) {
    {
        auto first = Start();
        first->EnsureLockCatalogueFile();
    }
    const std::string before = ReadWholeFile(QuarnXml());
    {
        auto catalogues = Start();
        catalogues->EnsureLockCatalogueFile();
        EXPECT_TRUE(catalogues->CDSLOCK.FileName().empty());
        window_.lockDown = true;
        catalogues->ReloadLockCatalogue();
        catalogues->WriteAllClick(kSid);
        EXPECT_TRUE(catalogues->CDSLOCK.Changed());
    }
    EXPECT_EQ(ReadWholeFile(QuarnXml()), before);
}

TEST_F(CataloguePass, ImportingANameThatDoesNotExistAsksFirst) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        std::filesystem::remove(QuarnXml());
        std::filesystem::remove(Backup());
        auto catalogues = Start();
        catalogues->EnsureLockCatalogueFile();
        const std::string before = ReadWholeFile(QuarnXml());
        window_.choice = folder_ / "new-catalogue.xml";
        window_.answer = yes;
        window_.journal.clear();
        catalogues->ImportLockCatalogue();
        EXPECT_EQ(
            window_.journal,
            (std::vector<std::string>{
                "dialog", "question The file does not exist. Create an empty lock catalogue?"}));
        EXPECT_EQ(catalogues->CDSLOCK.RecordCount(), yes ? 0 : 371);
        EXPECT_EQ(catalogues->CDSLOCK.FileName(), QuarnXml());
        PolicyTable saved;
        saved.LoadFromFile(QuarnXml());
        EXPECT_EQ(saved.RecordCount(), yes ? 0 : 371);
        // The catalogue it replaced is kept; a No replaces nothing.
        EXPECT_EQ(FileExists(Backup()), yes);
        if (yes) {
            EXPECT_EQ(ReadWholeFile(Backup()), before);
        }
        EXPECT_FALSE(FileExists(folder_ / "new-catalogue.xml"));
    }
}

TEST_F(CataloguePass, ImportingACatalogueReplacesTheLockTableAndQuarnXml) {
    PolicyTable own = BuiltInUnlockCatalogue();
    own.SaveToFile(folder_ / "own.xml");
    const std::string chosen = ReadWholeFile(folder_ / "own.xml");
    ReplaceFileContents(QuarnXml(), BuiltInLockCatalogue().SaveToBytes());
    const std::string previous = ReadWholeFile(QuarnXml());
    ReplaceFileContents(Backup(), "an older backup");
    auto catalogues = Start();
    window_.choice = folder_ / "own.xml";
    catalogues->ImportLockCatalogue();
    EXPECT_EQ(window_.journal, (std::vector<std::string>{"dialog"}));  // it exists: no question
    EXPECT_EQ(ReadWholeFile(QuarnXml()), chosen);
    EXPECT_EQ(ReadWholeFile(Backup()), previous);
    EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), chosen);
    window_.lockDown = true;
    catalogues->WriteAllClick(kSid);
    catalogues.reset();  // the end writes the pass into quarn.xml, never into own.xml
    EXPECT_EQ(ReadWholeFile(folder_ / "own.xml"), chosen);
    EXPECT_NE(ReadWholeFile(QuarnXml()), chosen);
    EXPECT_EQ(ReadWholeFile(Backup()), previous);
}

TEST_F(CataloguePass, FailedOrCancelledImportsChangeNothing) {
    ReplaceFileContents(folder_ / "garbage.xml", "this is no datapacket");
    ReplaceFileContents(folder_ / "binary.xml", std::string("\x96\x19\xE0\xBD....", 8));
    ReplaceFileContents(
        folder_ / "other-table.xml",
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="Name" fieldtype="string"/>)"
        R"(</FIELDS></METADATA><ROWDATA><ROW Name="x"/></ROWDATA></DATAPACKET>)");
    BuiltInUnlockCatalogue().SaveToFile(folder_ / "own.xml");
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> choice;
        std::filesystem::path folderInTheWay;  // a folder where a file would be written
        std::vector<std::string> journal;
    };
    const std::string question = "question " + std::string(kCreateEmptyCatalogueQuestion);
    const std::vector<std::string> refused = {"dialog", "message Error loading file."};
    const Case cases[] = {
        {"cancelled", std::nullopt, {}, {"dialog"}},
        {"not a datapacket", folder_ / "garbage.xml", {}, refused},
        {"binary form", folder_ / "binary.xml", {}, refused},
        {"another table's layout", folder_ / "other-table.xml", {}, refused},
        {"quarn.xml cannot be written",
         folder_ / "new.xml",
         QuarnXml(),
         {"dialog", question, "message Error loading file."}},
        {"the backup cannot be written", folder_ / "own.xml", Backup(), refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(QuarnXml());
        std::filesystem::remove_all(Backup());
        auto catalogues = Start();
        catalogues->EnsureLockCatalogueFile();  // bound, as after a first start
        window_.lockDown = true;
        catalogues->WriteAllClick(kSid);
        const std::string table = catalogues->CDSLOCK.SaveToBytes();
        if (!c.folderInTheWay.empty()) {
            std::filesystem::remove(c.folderInTheWay);
            std::filesystem::create_directories(c.folderInTheWay / "inside");
        }
        const std::string before = FileExists(QuarnXml()) ? ReadWholeFile(QuarnXml()) : "";
        const std::string chosen =
            c.choice && FileExists(*c.choice) ? ReadWholeFile(*c.choice) : "";
        window_.choice = c.choice;
        window_.answer = true;
        window_.journal.clear();
        catalogues->ImportLockCatalogue();
        EXPECT_EQ(window_.journal, c.journal);
        EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), table);
        EXPECT_EQ(catalogues->CDSLOCK.FileName(), QuarnXml());
        if (c.folderInTheWay != QuarnXml()) {
            EXPECT_EQ(ReadWholeFile(QuarnXml()), before);
        }
        if (c.folderInTheWay != Backup()) {
            EXPECT_FALSE(FileExists(Backup()));
        }
        if (c.choice && FileExists(*c.choice)) {
            EXPECT_EQ(ReadWholeFile(*c.choice), chosen);
        }
        std::filesystem::remove_all(QuarnXml());  // the program's end cannot meet a folder
    }
}

// Whole passes over each registry of the build: under Wine the lock and the
// unlock catalogue go into the real registry, the per-user rows into the
// running user's own hive.
class CataloguePassOnRegistry : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        registry_ = test::MakeRegistry(GetParam());
        sid_ = registry_->LoadedSid();
    }

    std::unique_ptr<PolicyCatalogues> Start() {
        return std::make_unique<PolicyCatalogues>(folder_.Path(), window_, registry_->Backend(),
                                                  std::chrono::milliseconds(0));
    }

    std::optional<RegistryValue> Value(const BuiltInRow& row) {
        return StoredValue(registry_->Backend(), sid_, row.subtree, row.subkey);
    }

    std::unique_ptr<test::RegistryUnderTest> registry_;
    std::wstring sid_;
    test::TempFolder folder_;
    RecordingWindow window_;
};

TEST_P(CataloguePassOnRegistry, LockThenUnlockLeavesTheUnlockValues) {
    auto catalogues = Start();
    window_.lockDown = true;
    catalogues->WriteAllClick(sid_);
    for (const BuiltInRow& row : BuiltInRows()) {
        if (Applied(row)) {
            SCOPED_TRACE(row.index);
            const auto value = Value(row);
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(value->data, Expected(row, row.lockValue).data);
        }
    }
    window_.lockDown = false;
    catalogues->WriteAllClick(sid_);
    int differing = 0;
    for (const BuiltInRow& row : BuiltInRows()) {
        if (Applied(row)) {
            SCOPED_TRACE(row.index);
            const auto value = Value(row);
            ASSERT_TRUE(value.has_value());
            const RegistryValue expected = Expected(row, row.unlockValue);
            EXPECT_EQ(value->type, expected.type);
            EXPECT_EQ(value->data, expected.data);
            differing += std::string(row.lockValue) != row.unlockValue;
        }
    }
    EXPECT_EQ(differing, 153);
}

// A bigger catalogue than the built-in one: its rows and one of each value
// kind in keys of their own.
PolicyTable BiggerCatalogue() {
    PolicyTable table = BuiltInLockCatalogue();
    std::int32_t index = 9000;
    for (const char* kind : {"REG_DWORD", "REG_DWHEX", "REG_SZ", "REG_BINARY", "ADD_SUBTREE",
                             "DEL_SUBKEY", "DEL_SUBTREE"}) {
        const std::string value = std::string(kind) == "REG_BINARY" ? "0a0b" : "7";
        table.AppendRow({index++, std::string("HKCU\\Software\\QuarnBigger\\") + kind, "Value",
                         value, kind, "XP", "aktiviert", ""});
    }
    return table;
}

// Whatever the passes were (a lock, lock-unlock-lock, an import of a bigger
// catalogue between two locks), a restore from the restore point the passes
// wrote gives back each key they touched as the station had it, with the
// station's own values among them (some of another type, some beside).
TEST_P(CataloguePassOnRegistry, PassesThenARestoreGiveBackTheStation) {
    const std::filesystem::path bigger = folder_.Path() / "bigger.xml";
    BiggerCatalogue().SaveToFile(bigger);
    const auto keys = test::CatalogueKeys(
        sid_, {BuiltInLockCatalogue(), BuiltInUnlockCatalogue(), BiggerCatalogue()});
    const struct {
        const char* name;
        std::vector<std::string> passes;
    } cases[] = {
        {"one lock", {"lock"}},
        {"lock, unlock, lock", {"lock", "unlock", "lock"}},
        {"lock, import, lock", {"lock", "import", "lock"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        // The station's own values, recorded to be taken away afterwards.
        RestorePoint own;
        const BuiltInRow* const rows = BuiltInRows().data();
        for (std::size_t i = 0; i < BuiltInRows().size(); i += 17) {
            const std::string subtree = rows[i].subtree;
            if (!subtree.starts_with("HKCU") || std::string(rows[i].dataType) != "REG_DWORD") {
                continue;
            }
            const std::wstring key =
                sid_ + L"\\" + Cp1252ToUtf16(subtree.substr(subtree.find('\\') + 1));
            const std::wstring name =
                (i / 17) % 2 == 0 ? Cp1252ToUtf16(rows[i].subkey) : L"StationOwn";
            own.RecordValue(registry_->Backend(), RegistryRoot::Users, key, name);
            test::WriteRaw(registry_->Backend(), RegistryRoot::Users, key, name, kRegSz,
                           StringValueData(L"own"));
        }
        const test::KeysSnapshot before = test::TakeKeys(registry_->Backend(), keys);

        {
            auto catalogues = Start();
            for (const std::string& pass : row.passes) {
                if (pass == "import") {
                    window_.choice = bigger;
                    catalogues->ImportLockCatalogue();
                    continue;
                }
                window_.lockDown = pass == "lock";
                ASSERT_TRUE(catalogues->WriteAllClick(sid_));
            }
            test::RecordingStationRestore platform;
            const StationRestoreOutcome outcome =
                RestoreStation(catalogues->RestorePointFile(), registry_->Backend(), platform,
                               false, L"2026-12-11");
            EXPECT_TRUE(outcome.Complete()) << DescribeRestore(outcome, false);
            EXPECT_TRUE(outcome.registry.keysKept.empty()) << DescribeRestore(outcome, false);
        }
        EXPECT_EQ(test::TakeKeys(registry_->Backend(), keys), before);
        EXPECT_FALSE(FileExists(folder_.Path() / kRestorePointFileName));
        EXPECT_TRUE(FileExists(folder_.Path() / "quarn-restore-2026-12-11.reg"));

        RestoreRegistry(own, registry_->Backend(), false);
        std::filesystem::remove(folder_.Path() / "quarn-restore-2026-12-11.reg");
        std::filesystem::remove(folder_.Path() / kLockCatalogueFileName);
        std::filesystem::remove(folder_.Path() / kLockCatalogueBackupName);
    }
}

TEST_P(CataloguePassOnRegistry, SwitchedOffRowsAreNeverApplied) {
    RegistryAccess machine(kKeyAllAccess, registry_->Backend());
    machine.SetRootKey(RegistryRoot::LocalMachine);
    ASSERT_TRUE(
        machine.OpenKey(L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true));
    machine.WriteString(L"Background", L"0 0 0");
    machine.CloseKey();

    auto catalogues = Start();
    for (const bool lockDown : {true, false, true}) {
        window_.lockDown = lockDown;
        catalogues->WriteAllClick(sid_);
    }
    int switchedOff = 0;
    for (const BuiltInRow& row : BuiltInRows()) {
        if (std::string(row.status) == "deaktiviert") {
            ++switchedOff;
            SCOPED_TRACE(row.index);
            // The deletion row would have deleted the value; the others would have written one.
            EXPECT_EQ(Value(row).has_value(), std::string(row.dataType) == "DEL_SUBKEY");
        }
    }
    EXPECT_EQ(switchedOff, 22);
}

INSTANTIATE_TEST_SUITE_P(Registries, CataloguePassOnRegistry,
                         ::testing::ValuesIn(test::RegistryNames()),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace quarn
