#include "catalogue/catalogue_pass.h"

#include "catalogue/builtin_catalogues.h"
#include "catalogue/datapacket.h"
#include "catalogue/row_restore.h"
#include "system/file_io.h"
#include "system/settings.h"
#include "system/station_restore.h"
#include "system/system_queries.h"
#include "system/text_case.h"

namespace quarn {
namespace {

// Undoes the pass's hold on the window however the walk ends.
class PassScope {
  public:
    PassScope(CatalogueWindow& window, bool& running) : window_(window), running_(running) {
        running_ = true;
        window_.SetMenuEnabled(false);
        window_.SetProgressVisible(true);
    }
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;
    ~PassScope() {
        window_.SetProgressVisible(false);
        window_.SetMenuEnabled(true);
        running_ = false;
    }

  private:
    CatalogueWindow& window_;
    bool& running_;
};

// A catalogue file read for the lock table; raises Error when it is not a
// datapacket with the catalogue's columns.
PolicyTable ReadCatalogueFile(const std::filesystem::path& file) {
    PolicyTable table;
    table.LoadFromFile(file);
    if (!HasCatalogueLayout(table.Fields())) {
        throw LoadError(LoadStatus::NotACatalogue, "The file is not a policy catalogue.",
                        std::nullopt);
    }
    return table;
}

}  // namespace

bool HasCatalogueLayout(const std::vector<FieldDef>& fields) {
    const std::vector<FieldDef>& catalogue = CatalogueFields();
    if (fields.size() < catalogue.size()) {
        return false;
    }
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (!EqualsIgnoringCaseAZ(fields[i].name, catalogue[i].name)) {
            return false;
        }
    }
    return true;
}

PolicyCatalogues::PolicyCatalogues(std::filesystem::path programFolder, CatalogueWindow& window,
                                   RegistryBackend& registry, std::chrono::milliseconds pause)
    : CDSLOCK(BuiltInLockCatalogue()),
      CDSUNLOCK(BuiltInUnlockCatalogue()),
      programFolder_(std::move(programFolder)),
      window_(window),
      registry_(registry),
      pause_(pause) {}

PolicyCatalogues::~PolicyCatalogues() {
    try {
        CloseTables();
    } catch (const std::exception&) {
        // The window's close has reported it already when it could; the
        // program is ending and the old file stays as it was.
    }
}

void PolicyCatalogues::CloseTables() {
    CDSLOCK.Close();
    CDSUNLOCK.Close();
}

std::filesystem::path PolicyCatalogues::LockCatalogueFile() const {
    return programFolder_ / kLockCatalogueFileName;
}

std::filesystem::path PolicyCatalogues::LockCatalogueBackup() const {
    return programFolder_ / kLockCatalogueBackupName;
}

std::filesystem::path PolicyCatalogues::RestorePointFile() const {
    return programFolder_ / kRestorePointFileName;
}

bool PolicyCatalogues::WriteAllClick(std::wstring_view sid) {
    if (passRunning_) {
        return false;
    }
    PolicyTable& table = window_.LockDownChecked() ? CDSLOCK : CDSUNLOCK;
    const PassScope scope(window_, passRunning_);
    window_.ProcessMessages();
    if (!RecordBeforeChange(sid, [&](RestorePoint& point) {
            RecordCatalogueChanges(point, registry_, table, sid);
        })) {
        return false;
    }
    Walk(table, sid);
    return true;
}

bool PolicyCatalogues::RecordBeforeChange(std::wstring_view sid,
                                          const std::function<void(RestorePoint&)>& record) {
    try {
        const RestorePointOrigin origin{ReadComputerName(registry_), ReadAccountName(registry_),
                                        std::wstring(sid), LocalTimeText()};
        quarn::RecordBeforeChange(RestorePointFile(), origin, record);
    } catch (const RestorePointError& error) {
        window_.ShowMessage(error.what());
        return false;
    }
    return true;
}

void PolicyCatalogues::Walk(PolicyTable& table, std::wstring_view sid) {
    table.First();
    window_.SetProgressRange(table.RecNo(), table.RecordCount());
    if (table.RecordCount() == 0) {
        return;
    }
    const RowApplyContext context{registry_, sid, pause_};
    for (;;) {
        window_.ProcessMessages();
        window_.SetProgressPosition(table.RecNo());
        table.Edit();
        ApplyPolicyRow(table, context);
        const bool last = table.RecNo() == table.RecordCount();
        table.Next();  // posts the row's new STATUS
        if (last) {
            return;
        }
    }
}

void PolicyCatalogues::EnsureLockCatalogueFile() {
    const std::filesystem::path file = LockCatalogueFile();
    if (!FileExists(file)) {
        CDSLOCK.SetFileName(file);
        CDSLOCK.SaveToFile(file);
    }
}

bool PolicyCatalogues::ReloadLockCatalogue() {
    if (passRunning_) {
        return false;
    }
    const std::filesystem::path file = LockCatalogueFile();
    if (!FileExists(file)) {
        return true;
    }
    // The file is looked at before the table closes: a bound, changed table
    // would otherwise write over the very file it is about to refuse.
    try {
        ReadCatalogueFile(file);
    } catch (const Error&) {
        CDSLOCK.RefuseFile(file);
        window_.ShowMessage(kErrorLoadingFile);
        return false;
    }
    PolicyTable kept = CDSLOCK;
    try {
        CDSLOCK.Close();  // a bound, changed table writes its file back first
        PolicyTable reloaded = ReadCatalogueFile(file);
        reloaded.SetFileName(CDSLOCK.FileName());  // the binding stays
        CDSLOCK = std::move(reloaded);
    } catch (const Error&) {
        // The write-back failed, or the file changed in between.
        CDSLOCK = std::move(kept);
        CDSLOCK.RefuseFile(file);
        window_.ShowMessage(kErrorLoadingFile);
        return false;
    }
    return true;
}

void PolicyCatalogues::ImportLockCatalogue() {
    if (passRunning_) {
        return;
    }
    const std::optional<std::filesystem::path> chosen = window_.ChooseCatalogueFile();
    if (!chosen) {
        return;
    }
    const bool exists = FileExists(*chosen);
    // An empty lock catalogue locks nothing down: it is made only when asked for.
    if (!exists && !window_.AskYesNo(kCreateEmptyCatalogueQuestion)) {
        return;
    }
    // The import is read into a table of its own and takes the lock table's
    // place only when it is also safely in quarn.xml, and the file it
    // replaces in quarn.xml.bak.
    PolicyTable imported;
    try {
        if (exists) {
            imported = ReadCatalogueFile(*chosen);
        } else {
            imported.CreateDataSet();
        }
        if (FileExists(LockCatalogueFile())) {
            ReplaceFileContents(LockCatalogueBackup(), ReadWholeFile(LockCatalogueFile()));
        }
        imported.SaveToFile(LockCatalogueFile());
    } catch (const Error&) {
        window_.ShowMessage(kErrorLoadingFile);
        return;
    }
    imported.SetFileName(LockCatalogueFile());
    imported.First();
    CDSLOCK = std::move(imported);  // what the old table held is now in quarn.xml.bak
}

}  // namespace quarn
