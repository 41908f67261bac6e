#pragma once

// A catalogue's rows as Group Policy carries them to many stations, and a
// Group Policy registry file (Registry.pol) as catalogue rows.
//
// Group Policy takes back what a Registry.pol wrote, when the policy no
// longer applies, only below the four Policies keys (Software\Policies and
// Software\Microsoft\Windows\CurrentVersion\Policies of either hive). A row
// elsewhere would stay on every station after the policy went, so it goes
// into Group Policy Preferences instead, as an item that is removed when it
// no longer applies. So do the rows a Registry.pol cannot say: the key's
// default value, a value of no bytes, a value whose name begins with "**"
// (which Group Policy reads as a directive), a key whose name holds ';'.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/applicable_rows.h"
#include "catalogue/policy_record.h"
#include "system/reg_file.h"
#include "system/registry_pol.h"

namespace quarn {

// Whether a key path (from the hive's root, leading backslashes allowed)
// names one of the Policies keys or a key below one; letter case is ignored.
bool IsBelowPoliciesKey(std::wstring_view keyPath);

struct GroupPolicyExport {
    std::vector<PolRecord> machinePolicy;  // Machine\Registry.pol
    std::vector<PolRecord> userPolicy;     // User\Registry.pol
    // Machine\ and User\Preferences\Registry\Registry.xml; each target's key
    // path has no leading backslash.
    std::vector<ApplicableRow> machinePreferences;
    std::vector<ApplicableRow> userPreferences;
    // Rows not exported, in walk order: switched off, or refused by the
    // applier.
    std::vector<LeftOutRow> leftOut;
};

// The rows a pass applies, in walk order. The table's cursor ends on the
// first row.
GroupPolicyExport ExportForGroupPolicy(PolicyTable& table);

// The Preferences file of one hive's items, in the form the Group Policy
// Management Editor writes: UTF-8, CR LF, each row a Registry element with
// action "U" (or "D" for a deletion) that is removed when the policy no
// longer applies. changed is the time the items carry ("YYYY-MM-DD
// HH:MM:SS", UTC). Raises Error for text that XML cannot carry (a control
// character other than tab and line breaks).
std::string WritePreferencesXml(const std::vector<ApplicableRow>& items, std::string_view changed);

// The rows as one registry file that regedit and reg import read: per-user
// rows below HKEY_USERS\<sid>, machine rows below HKEY_LOCAL_MACHINE, in the
// rows' order; a deleted value as "Name"=-, a deleted key as [-KEY], a
// created key as a section of its own.
RegFile CatalogueAsRegFile(const std::vector<ApplicableRow>& rows, std::wstring_view sid);

// A record of a Registry.pol that has no catalogue row.
struct RefusedPolRecord {
    std::size_t offset = 0;  // where the record begins in the file
    std::string reason;      // UTF-8
};

struct PolImport {
    std::vector<PolicyRecord> rows;  // INDEX 10, 20, ... in the file's order
    std::vector<RefusedPolRecord> refused;
};

// The German TEXT of every imported row begins with this (UTF-8).
inline constexpr std::string_view kImportedRowTitle = "Aus Registry.pol übernommen";

// The records of a Registry.pol read whole, as rows of the hive it belongs
// to (PerUser or Machine): values of REG_DWORD (four bytes), REG_SZ and
// REG_BINARY; "**del." and "**DeleteValues" as DEL_SUBKEY, "**DeleteKeys"
// as DEL_SUBTREE; a record that only names a key as ADD_SUBTREE. Other types
// and directives, text outside code page 1252 and rows the applier would
// refuse are refused with their offset.
PolImport ImportRegistryPol(const PolReadResult& file, RowHive hive);

}  // namespace quarn
