#pragma once

// The vocabulary of a catalogue row: the kinds of change its DATATYPE names,
// the hive tag of its SUBTREE, and what a row does to the registry. The row
// applier and quarnctl check both read it, so a kind the applier performs is
// one that check knows, and the other way round.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "catalogue/policy_record.h"
#include "system/registry_access.h"
#include "system/registry_backend.h"

namespace quarn {

// --- SUBTREE ----------------------------------------------------------------

// The hive a row's SUBTREE names by its tag: "HKCU" for the locked-down
// account's hive (below HKEY_USERS\<SID>), "HKLM" for HKEY_LOCAL_MACHINE.
// Tags are case-sensitive; anything else names no hive.
enum class RowHive { PerUser, Machine, Unknown };

struct ParsedSubtree {
    RowHive hive = RowHive::Unknown;
    // The text before the first backslash; nothing when SUBTREE has none.
    std::optional<std::string_view> tag;
    // The rest from that backslash on ("\Software\X"), the path the applier
    // opens from the hive's root; empty when SUBTREE has no backslash.
    std::string_view keyPath;
};

// The parts are views into subtree.
ParsedSubtree ParseSubtree(std::string_view subtree);

// A DEL_SUBTREE row must name a key at least this many levels below its
// hive: HKLM\Software\ or HKCU\Software\Microsoft would take a whole branch
// of the hive with it.
inline constexpr std::size_t kMinDeletedKeyDepth = 3;

// Whether a row deletes a key too close to its hive's root (fewer than
// kMinDeletedKeyDepth key names after the hive tag; empty parts such as a
// trailing backslash do not count). The applier refuses such rows and
// quarnctl check reports them.
bool IsTooBroadDeletion(std::string_view dataType, std::string_view subtree);

// --- DATATYPE ---------------------------------------------------------------

// What a kind does to the registry.
enum class RowOperation { WriteValue, DeleteValue, CreateKey, DeleteKey };

// The registry types the kinds write, with the registry's own numbers; None
// for the kinds that write no value.
enum class RowValueType : std::uint32_t {
    None = 0,
    String = kRegSz,
    Binary = kRegBinary,
    Dword = kRegDword,
};

struct RowKind {
    std::string_view name;  // the DATATYPE, case-sensitive
    RowOperation operation;
    RowValueType valueType;
    // Acts on the row's key itself: SUBKEY and KEYVALUE are not read, and two
    // such rows of one key name the same thing.
    bool wholeKey;
    // A row of this kind that succeeds ends "aktiviert"; the deletions end
    // "deaktiviert" whatever happens.
    bool countsAsWritten;
    // Performs the change. registry has the row's key open (created if it was
    // missing); keyPath is that key's path from the root, which the whole-key
    // kinds use. Raises Error when KEYVALUE does not convert or the registry
    // refuses a write; a deletion of something absent is no failure.
    void (*apply)(RegistryAccess& registry, std::wstring_view keyPath, std::wstring_view valueName,
                  std::string_view keyValue);
    // The value's data as the registry holds it once written, or nothing when
    // KEYVALUE does not convert. Null for the kinds that write no value.
    std::optional<std::vector<std::uint8_t>> (*data)(std::string_view keyValue);
    // What quarnctl check says of a KEYVALUE the kind cannot take as meant,
    // one UTF-8 sentence per problem; null for kinds that take any KEYVALUE.
    std::vector<std::string> (*valueProblems)(std::string_view keyValue);
};

// Every kind the catalogue knows, in one table.
std::span<const RowKind> RowKinds();

// The kind a DATATYPE names; null for a DATATYPE the catalogue does not know.
const RowKind* FindRowKind(std::string_view dataType);

// The first kind in the table that does this with a value of this type
// (REG_DWORD before REG_DWHEX): the DATATYPE a row is written with when only
// its change is known.
const RowKind& RowKindFor(RowOperation operation, RowValueType valueType);

// --- What a row does ----------------------------------------------------------

// The text of the columns a row's change depends on (code page 1252).
// STATUS is the pass's gate and no part of the change.
struct RowFields {
    std::string_view subtree;
    std::string_view subkey;
    std::string_view keyValue;
    std::string_view dataType;
};
RowFields FieldsOf(const PolicyRecord& record);

// A row's change to the registry, worked out without a registry.
struct RowTarget {
    RowHive hive = RowHive::Unknown;  // PerUser or Machine
    // From the hive's root, as the applier opens it: for a per-user row below
    // HKEY_USERS\<SID>, which the pass supplies.
    std::wstring keyPath;
    // The value written or deleted; empty for the whole-key operations (and
    // for a value operation, the key's default value).
    std::wstring valueName;
    RowOperation operation = RowOperation::CreateKey;
    RowValueType valueType = RowValueType::None;
    // The value's data as the registry holds it: REG_DWORD four bytes, low
    // byte first; REG_SZ UTF-16LE with its terminating zero; REG_BINARY the
    // bytes. Empty for the other operations.
    std::vector<std::uint8_t> data;

    bool operator==(const RowTarget&) const = default;
};

// Why a row does not do what it says. The applier touches nothing for
// UnknownHive and TooBroadDeletion; for UnknownKind and UnconvertibleValue it
// still creates the row's key (and then writes nothing), as it opens the key
// before it performs the change.
enum class RowFault { UnknownHive, TooBroadDeletion, UnknownKind, UnconvertibleValue };

// The faults in the order the applier meets them.
std::variant<RowTarget, RowFault> ResolveRowTarget(const RowFields& row);

// What the applier does with a row of the fault, one English sentence.
std::string_view DescribeRowFault(RowFault fault);

}  // namespace quarn
