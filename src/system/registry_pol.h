#pragma once

// The Group Policy registry file, Registry.pol ("PReg"): the signature
// "PReg", version 1, then records back to back, each
// [key;value;type;size;data] with the key and value name as UTF-16LE text
// ending in a zero, the type and size as little-endian 32-bit numbers, and
// size bytes of data; every bracket and semicolon one UTF-16LE unit. The
// hive is not in the file: it is the folder's (Machine or User).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarn {

struct PolRecord {
    std::wstring key;        // below the hive, e.g. Software\Policies\X
    std::wstring valueName;  // empty for a key-only record; "**del.X" and the like are directives
    std::uint32_t type = 0;  // the registry type
    std::vector<std::uint8_t> data;
    bool operator==(const PolRecord&) const = default;
};

// The file's bytes. Raises Error for a key or value name that the form cannot
// hold (a zero character in it) and for an empty key.
std::string WriteRegistryPol(const std::vector<PolRecord>& records);

enum class PolStatus {
    Ok,
    NotRegistryPol,    // the first four bytes are not "PReg"
    UnknownVersion,    // a version other than 1
    Truncated,         // the file ends inside a record
    MissingDelimiter,  // a '[', ';' or ']' is not where the record needs it
    SizeBeyondFile,    // a record's size reaches past the end of the file
};

// The reader's answer: a status, the message, the byte offset where reading
// stopped (the file's size when it was read whole), and the records read up
// to there.
struct PolReadResult {
    PolStatus status = PolStatus::Ok;
    std::string message;
    std::size_t offset = 0;
    std::vector<PolRecord> records;
    // The byte at which each record's '[' stands, one per record.
    std::vector<std::size_t> recordOffsets;

    explicit operator bool() const { return status == PolStatus::Ok; }
};

PolReadResult ReadRegistryPol(std::string_view bytes);

}  // namespace quarn
