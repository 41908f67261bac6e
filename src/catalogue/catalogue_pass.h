#pragma once

// The life of the two catalogue tables and the pass that applies one of them
// to the registry. The main window owns one PolicyCatalogues; what it needs
// from the window (the "Lock Down" box, the progress bar, the menu, message
// pumping, the file dialog, message boxes) comes through CatalogueWindow, so
// the same code runs in the configurator and natively in tests.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/policy_row_applier.h"
#include "catalogue/policy_table.h"
#include "system/registry_backend.h"
#include "system/restore_point.h"

namespace quarn {

class CatalogueWindow {
  public:
    virtual ~CatalogueWindow() = default;

    // Whether the "Lock Down" box is checked.
    virtual bool LockDownChecked() = 0;
    virtual void SetMenuEnabled(bool enabled) = 0;
    // Shows the progress bar in front of the other controls, or hides it.
    virtual void SetProgressVisible(bool visible) = 0;
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // Lets the window handle its pending messages.
    virtual void ProcessMessages() = 0;
    // The open dialog for a catalogue file (file name "*.xml", default
    // extension "*.xml", filter "*.xml|xml"); a typed name of a missing file
    // is accepted. Nothing when the dialog was cancelled.
    virtual std::optional<std::filesystem::path> ChooseCatalogueFile() = 0;
    // A modal message with an OK button; text in UTF-8.
    virtual void ShowMessage(const std::string& text) = 0;
    // A modal question with Yes and No, No the default; true for Yes. Text
    // in UTF-8.
    virtual bool AskYesNo(const std::string& text) = 0;
};

// The lock catalogue file, always beside the configurator's executable, and
// the copy of its previous content that an import leaves beside it.
inline constexpr char kLockCatalogueFileName[] = "quarn.xml";
inline constexpr char kLockCatalogueBackupName[] = "quarn.xml.bak";
inline constexpr char kErrorLoadingFile[] = "Error loading file.";
inline constexpr char kCreateEmptyCatalogueQuestion[] =
    "The file does not exist. Create an empty lock catalogue?";

// Whether a table's columns are the catalogue's, by name and position.
bool HasCatalogueLayout(const std::vector<FieldDef>& fields);

class PolicyCatalogues {
  public:
    PolicyCatalogues(std::filesystem::path programFolder, CatalogueWindow& window,
                     RegistryBackend& registry = DefaultRegistry(),
                     std::chrono::milliseconds pause = kRowPause);
    // Closes both tables; a bound, changed lock table writes its file.
    ~PolicyCatalogues();
    PolicyCatalogues(const PolicyCatalogues&) = delete;
    PolicyCatalogues& operator=(const PolicyCatalogues&) = delete;

    PolicyTable CDSLOCK;
    PolicyTable CDSUNLOCK;

    std::filesystem::path LockCatalogueFile() const;
    std::filesystem::path LockCatalogueBackup() const;
    // The restore point beside quarn.xml.
    std::filesystem::path RestorePointFile() const;

    // The pass: walks CDSLOCK when "Lock Down" is checked, else CDSUNLOCK,
    // applying each row once; per-user rows go below HKEY_USERS\<sid>. Before
    // the first row, what the pass will change is recorded in the restore
    // point; when that fails (a damaged restore point, or one that cannot be
    // written) the error is shown and no row is applied. While a pass runs,
    // another is refused (the window keeps handling messages, so a second
    // click could arrive). Returns whether the pass ran.
    bool WriteAllClick(std::wstring_view sid);

    // Records in the restore point what a change outside the catalogues (the
    // shell, the automatic logon, the Administrators group) is about to
    // touch. When that fails the error is shown and false returned: the
    // change must not be made then. sid is the locked account's, for the
    // header of a new restore point.
    bool RecordBeforeChange(std::wstring_view sid,
                            const std::function<void(RestorePoint&)>& record);
    bool PassRunning() const { return passRunning_; }

    // First start: writes the built-in lock rows to quarn.xml when the file
    // is missing, and binds CDSLOCK to it.
    void EnsureLockCatalogueFile();
    // Loads CDSLOCK from quarn.xml when the file exists (closing it first,
    // which writes a bound, changed table back); without the file CDSLOCK
    // keeps its rows. A quarn.xml that is not a datapacket with the
    // catalogue's columns shows "Error loading file.": CDSLOCK keeps its rows
    // and never writes over that file. Returns whether CDSLOCK may be walked
    // now: false after such an error, and during a pass (refused).
    bool ReloadLockCatalogue();
    // "Open *.xml File": a chosen catalogue becomes the lock table and
    // quarn.xml. A cancelled dialog does nothing; a name that does not exist
    // makes an empty catalogue only when the administrator answers Yes to
    // "The file does not exist. Create an empty lock catalogue?". Before
    // quarn.xml is replaced, its previous content is kept in quarn.xml.bak
    // (replacing an older one). A file that cannot be read as a catalogue, a
    // failed backup or a failed save leaves table, binding and quarn.xml as
    // they were and shows "Error loading file.". The chosen file is only read.
    void ImportLockCatalogue();

    // Closes both tables now (the window's close); errors reach the caller.
    void CloseTables();

  private:
    void Walk(PolicyTable& table, std::wstring_view sid);

    std::filesystem::path programFolder_;
    CatalogueWindow& window_;
    RegistryBackend& registry_;
    std::chrono::milliseconds pause_;
    bool passRunning_ = false;
};

}  // namespace quarn
