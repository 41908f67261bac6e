// The catalogue pass and the life of the lock table's file, with a window
// that records what it was asked to do.

#include <gtest/gtest.h>

#include <functional>

#include "builtin_catalogues.h"
#include "catalogue_pass.h"
#include "file_io.h"
#include "memory_registry.h"
#include "registry_access.h"
#include "registry_backends.h"
#include "temp_folder.h"
#include "text_encoding.h"
#include "value_conversion.h"

namespace quarn {
namespace {

class RecordingWindow : public CatalogueWindow {
  public:
    bool lockDown = false;
    std::optional<std::filesystem::path> choice;
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
        return std::make_unique<PolicyCatalogues>(folder_.Path(), window_, registry_, sid_,
                                                  std::chrono::milliseconds(0));
    }

    std::filesystem::path QuarnXml() const { return folder_ / "quarn.xml"; }

    std::optional<RegistryValue> Value(const std::string& subtree, const std::string& subkey) {
        return StoredValue(registry_, kSid, subtree, subkey);
    }

    test::TempFolder folder_;
    MemoryRegistry registry_;
    std::wstring sid_ = kSid;
    RecordingWindow window_;
};

TEST_F(CataloguePass, TheBoxChoosesTheOnlyTableWalked) {
    auto catalogues = Start();
    for (const bool lockDown : {true, false}) {
        SCOPED_TRACE(lockDown);
        const std::size_t lockVersions = catalogues->CDSLOCK.Content().versions.size();
        const std::size_t unlockVersions = catalogues->CDSUNLOCK.Content().versions.size();
        window_.lockDown = lockDown;
        EXPECT_TRUE(catalogues->WriteAllClick());
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
    catalogues->WriteAllClick();
    registry_.LoadHive(kSid);  // the account logged on meanwhile
    catalogues->WriteAllClick();
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
        catalogues->WriteAllClick();
        EXPECT_EQ(window_.journal, c.journal);
        EXPECT_EQ(catalogues->CDSUNLOCK.Content().versions.size(),
                  static_cast<std::size_t>(2 * c.rows));
        if (c.rows > 0) {
            EXPECT_EQ(catalogues->CDSUNLOCK.RecNo(), c.rows);  // the cursor stays on the last row
        }
    }
}

TEST_F(CataloguePass, AnErrorInTheWalkStillRestoresMenuAndProgress) {
    ReplaceFileContents(QuarnXml(), "not a catalogue");
    auto catalogues = Start();
    EXPECT_THROW(catalogues->ReloadLockCatalogue(), LoadError);  // the lock table is now closed
    window_.lockDown = true;
    window_.journal.clear();
    EXPECT_THROW(catalogues->WriteAllClick(), Error);
    EXPECT_EQ(window_.journal, (std::vector<std::string>{"menu off", "progress shown", "pump",
                                                         "progress hidden", "menu on"}));
    EXPECT_FALSE(catalogues->PassRunning());
    EXPECT_EQ(ReadWholeFile(QuarnXml()), "not a catalogue");
}

TEST_F(CataloguePass, ASecondPassIsRefusedWhileOneRuns) {
    auto catalogues = Start();
    int nested = 0;
    window_.onPump = [&] {
        if (nested++ == 5) {
            EXPECT_FALSE(catalogues->WriteAllClick());
            catalogues->ReloadLockCatalogue();  // refused as well: the table is being walked
        }
    };
    ReplaceFileContents(QuarnXml(), "not a catalogue");
    window_.lockDown = true;
    EXPECT_TRUE(catalogues->WriteAllClick());
    EXPECT_EQ(catalogues->CDSLOCK.Content().versions.size(), 371u + 349u);  // each row once
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
        catalogues->WriteAllClick();
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
        catalogues->WriteAllClick();
        EXPECT_TRUE(catalogues->CDSLOCK.Changed());
    }
    EXPECT_EQ(ReadWholeFile(QuarnXml()), before);
}

TEST_F(CataloguePass, ImportingANameThatDoesNotExistEmptiesTheLockTable) {
    auto catalogues = Start();
    window_.choice = folder_ / "new-catalogue.xml";
    catalogues->ImportLockCatalogue();
    EXPECT_EQ(catalogues->CDSLOCK.RecordCount(), 0);
    EXPECT_EQ(catalogues->CDSLOCK.FileName(), QuarnXml());
    PolicyTable saved;
    saved.LoadFromFile(QuarnXml());
    EXPECT_EQ(saved.RecordCount(), 0);
    EXPECT_FALSE(FileExists(folder_ / "new-catalogue.xml"));
}

TEST_F(CataloguePass, ImportingACatalogueReplacesTheLockTableAndQuarnXml) {
    PolicyTable own = BuiltInUnlockCatalogue();
    own.SaveToFile(folder_ / "own.xml");
    const std::string chosen = ReadWholeFile(folder_ / "own.xml");
    auto catalogues = Start();
    window_.choice = folder_ / "own.xml";
    catalogues->ImportLockCatalogue();
    EXPECT_EQ(ReadWholeFile(QuarnXml()), chosen);
    EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), chosen);
    window_.lockDown = true;
    catalogues->WriteAllClick();
    catalogues.reset();  // the end writes the pass into quarn.xml, never into own.xml
    EXPECT_EQ(ReadWholeFile(folder_ / "own.xml"), chosen);
    EXPECT_NE(ReadWholeFile(QuarnXml()), chosen);
}

TEST_F(CataloguePass, FailedOrCancelledImportsChangeNothing) {
    ReplaceFileContents(folder_ / "garbage.xml", "this is no datapacket");
    ReplaceFileContents(folder_ / "binary.xml", std::string("\x96\x19\xE0\xBD....", 8));
    ReplaceFileContents(
        folder_ / "other-table.xml",
        R"(<DATAPACKET><METADATA><FIELDS><FIELD attrname="Name" fieldtype="string"/>)"
        R"(</FIELDS></METADATA><ROWDATA><ROW Name="x"/></ROWDATA></DATAPACKET>)");
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> choice;
        bool quarnXmlIsAFolder;
        std::vector<std::string> journal;
    };
    const std::vector<std::string> refused = {"dialog", "message Error loading file."};
    const Case cases[] = {
        {"cancelled", std::nullopt, false, {"dialog"}},
        {"not a datapacket", folder_ / "garbage.xml", false, refused},
        {"binary form", folder_ / "binary.xml", false, refused},
        {"another table's layout", folder_ / "other-table.xml", false, refused},
        {"quarn.xml cannot be written", folder_ / "new.xml", true, refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(QuarnXml());
        auto catalogues = Start();
        catalogues->EnsureLockCatalogueFile();  // bound, as after a first start
        window_.lockDown = true;
        catalogues->WriteAllClick();
        const std::string table = catalogues->CDSLOCK.SaveToBytes();
        if (c.quarnXmlIsAFolder) {
            std::filesystem::remove(QuarnXml());
            std::filesystem::create_directory(QuarnXml());
        }
        const std::string before = c.quarnXmlIsAFolder ? "" : ReadWholeFile(QuarnXml());
        const std::string chosen =
            c.choice && FileExists(*c.choice) ? ReadWholeFile(*c.choice) : "";
        window_.choice = c.choice;
        window_.journal.clear();
        catalogues->ImportLockCatalogue();
        EXPECT_EQ(window_.journal, c.journal);
        EXPECT_EQ(catalogues->CDSLOCK.SaveToBytes(), table);
        EXPECT_EQ(catalogues->CDSLOCK.FileName(), QuarnXml());
        if (!c.quarnXmlIsAFolder) {
            EXPECT_EQ(ReadWholeFile(QuarnXml()), before);
        }
        if (c.choice && FileExists(*c.choice)) {
            EXPECT_EQ(ReadWholeFile(*c.choice), chosen);
        }
        if (c.quarnXmlIsAFolder) {
            std::filesystem::remove_all(QuarnXml());
        }
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
                                                  sid_, std::chrono::milliseconds(0));
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
    catalogues->WriteAllClick();
    for (const BuiltInRow& row : BuiltInRows()) {
        if (Applied(row)) {
            SCOPED_TRACE(row.index);
            const auto value = Value(row);
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(value->data, Expected(row, row.lockValue).data);
        }
    }
    window_.lockDown = false;
    catalogues->WriteAllClick();
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
        catalogues->WriteAllClick();
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
