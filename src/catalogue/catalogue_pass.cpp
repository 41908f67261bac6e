#include "catalogue_pass.h"

#include "builtin_catalogues.h"
#include "datapacket.h"
#include "file_io.h"
#include "text_case.h"

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
                                   RegistryBackend& registry, const std::wstring& sid,
                                   std::chrono::milliseconds pause)
    : CDSLOCK(BuiltInLockCatalogue()),
      CDSUNLOCK(BuiltInUnlockCatalogue()),
      programFolder_(std::move(programFolder)),
      window_(window),
      registry_(registry),
      sid_(sid),
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

bool PolicyCatalogues::WriteAllClick() {
    if (passRunning_) {
        return false;
    }
    PolicyTable& table = window_.LockDownChecked() ? CDSLOCK : CDSUNLOCK;
    const PassScope scope(window_, passRunning_);
    window_.ProcessMessages();
    Walk(table);
    return true;
}

void PolicyCatalogues::Walk(PolicyTable& table) {
    table.First();
    window_.SetProgressRange(table.RecNo(), table.RecordCount());
    if (table.RecordCount() == 0) {
        return;
    }
    const RowApplyContext context{registry_, sid_, pause_};
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

void PolicyCatalogues::ReloadLockCatalogue() {
    if (passRunning_) {
        return;
    }
    const std::filesystem::path file = LockCatalogueFile();
    if (FileExists(file)) {
        CDSLOCK.LoadFromFile(file);
    }
}

void PolicyCatalogues::ImportLockCatalogue() {
    if (passRunning_) {
        return;
    }
    const std::optional<std::filesystem::path> chosen = window_.ChooseCatalogueFile();
    if (!chosen) {
        return;
    }
    // The import is read into a table of its own and takes the lock table's
    // place only when it is also safely in quarn.xml.
    PolicyTable imported;
    try {
        if (FileExists(*chosen)) {
            imported.LoadFromFile(*chosen);
            if (!HasCatalogueLayout(imported.Fields())) {
                throw LoadError("The file is not a policy catalogue.", 0);
            }
        } else {
            imported.CreateDataSet();
        }
        imported.SaveToFile(LockCatalogueFile());
    } catch (const Error&) {
        window_.ShowMessage(kErrorLoadingFile);
        return;
    }
    imported.SetFileName(LockCatalogueFile());
    imported.First();
    CDSLOCK = std::move(imported);  // what the old table held is now quarn.xml's past
}

}  // namespace quarn
