// Reads arbitrary bytes as a Group Policy registry file. What reads whole must
// write and read back to the same records and import without a fault; what
// does not must say where it stopped, inside the file.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalogue/group_policy.h"
#include "system/error.h"
#include "system/registry_pol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quarn::PolReadResult read = quarn::ReadRegistryPol(bytes);
    if (read.offset > size || read.records.size() != read.recordOffsets.size()) {
        std::abort();
    }
    if (!read) {
        if (read.message.find("(at byte " + std::to_string(read.offset) + ")") ==
            std::string::npos) {
            std::abort();  // the message names the byte where reading stopped
        }
        return 0;
    }
    for (const auto hive : {quarn::RowHive::PerUser, quarn::RowHive::Machine}) {
        const quarn::PolImport imported = quarn::ImportRegistryPol(read, hive);
        for (const quarn::RefusedPolRecord& refused : imported.refused) {
            if (refused.offset >= size) {
                std::abort();
            }
        }
    }
    try {
        const quarn::PolReadResult reread =
            quarn::ReadRegistryPol(quarn::WriteRegistryPol(read.records));
        if (!reread || reread.records != read.records) {
            std::abort();
        }
    } catch (const quarn::Error&) {
        // A record without a key reads but cannot be written.
    }
    return 0;
}
