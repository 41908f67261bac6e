#pragma once

// The registry file form that regedit and reg.exe import and export
// ("Windows Registry Editor Version 5.00", and the older "REGEDIT4"): keys in
// brackets, each followed by its values as "Name"=data lines. The writer
// produces what regedit exports (UTF-16LE with the mark FF FE, CR LF); the
// reader takes that, Wine's and Windows' exports, and the 8-bit files people
// write by hand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "system/registry_backend.h"

namespace quarn {

struct RegFileValue {
    // Empty for the key's default value (written "@").
    std::wstring name;
    // The value's type and data exactly as the registry holds them; nothing
    // for a value the file removes ("Name"=-).
    std::optional<RegistryValue> value;
    bool operator==(const RegFileValue&) const = default;
};

struct RegFileKey {
    // The full key name with its root spelled out:
    // HKEY_LOCAL_MACHINE\SOFTWARE\X, HKEY_USERS\S-1-5-21-...\Software\X.
    std::wstring path;
    // True for a key the file removes with its subkeys ([-KEY]).
    bool deleted = false;
    std::vector<RegFileValue> values;
    bool operator==(const RegFileKey&) const = default;
};

struct RegFile {
    // Comment lines below the header line (the text after "; ").
    std::vector<std::wstring> headerComments;
    // Keys that did not exist before, each a comment line "; created: KEY"
    // before the first key. Importing the file leaves them in place; a
    // restore of our own removes them.
    std::vector<std::wstring> createdKeys;
    std::vector<RegFileKey> keys;
    bool operator==(const RegFile&) const = default;
};

// The file's bytes: the mark FF FE, UTF-16LE, CR LF, the header line, the
// header comments, the created keys, and each key after a blank line.
// REG_SZ data is written as "text" when it is UTF-16 with exactly one
// terminating zero, at the end, and no line break (regedit's quoted form
// cannot hold a line break); any other REG_SZ data is written hex(1): so
// that it reads back byte for byte. REG_DWORD data of four bytes is written
// dword:; everything else as hex bytes, wrapped as regedit wraps them.
// Raises Error for a comment, created key, key path or value name that the
// form cannot hold (a line break, or a zero character in it), and for a key
// path that is empty.
std::string WriteRegFile(const RegFile& file);

// Why a file could not be read, one value per kind of fault.
enum class RegFileStatus {
    Ok,
    BadUtf16,          // a UTF-16LE file (after FF FE) of an odd number of bytes
    NotARegistryFile,  // the first line is neither header
    BadKeyLine,        // a [KEY] line without its closing bracket or a known root
    BadValueLine,      // a value line whose name or "=" is damaged
    BadData,           // data that does not fit its form (dword:, hex:, "text")
    ValueOutsideKey,   // a value line before the first key
    UnknownLine,       // a line that is neither key, value, comment nor blank
};

// The reader's answer, in the manner of pugixml's parse result: a status,
// the message (UTF-8, naming the line), the byte offset in the file where
// reading stopped (the file's size when it was read whole), and the file.
// A file that cannot be read whole gives an empty RegFile.
struct RegFileReadResult {
    RegFileStatus status = RegFileStatus::Ok;
    std::string message;
    std::size_t offset = 0;
    RegFile file;

    explicit operator bool() const { return status == RegFileStatus::Ok; }
};

// Reads UTF-16LE after the mark FF FE, or an 8-bit file (UTF-8 when the
// whole file is UTF-8, with or without its mark, otherwise code page 1252).
// Lines end in CR LF or LF; hex data continues on the next line after a
// trailing backslash. In a REGEDIT4 file hex(2): and hex(7): hold 8-bit
// text, which is taken as code page 1252 and stored as UTF-16 as the
// registry holds it.
RegFileReadResult ReadRegFile(std::string_view bytes);

}  // namespace quarn
