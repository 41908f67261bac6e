// Loads arbitrary bytes as a datapacket. Whatever loads must write and read
// back to the same table; anything else must end in a LoadError.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalogue/datapacket.h"
#include "catalogue/policy_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quarn::TableContent content;
    try {
        content = quarn::ReadDatapacket(bytes);
    } catch (const quarn::LoadError& error) {
        if (!error.Offset() || *error.Offset() > size) {
            std::abort();  // a fault of the text: its byte lies inside the file
        }
        return 0;
    }
    const quarn::TableContent reread = quarn::ReadDatapacket(quarn::WriteDatapacket(content));
    if (reread.fields != content.fields || reread.versions != content.versions ||
        reread.changeLog != content.changeLog || reread.walkOrder != content.walkOrder) {
        std::abort();
    }

    // The table walks and rewrites what it loaded.
    quarn::PolicyTable table(content.fields);
    table.LoadFromBytes(bytes);
    table.First();
    for (int i = 0; i < table.RecordCount() && !table.Fields().empty(); ++i) {
        table.Edit();
        table.SetFieldText(0, "x");
        table.Next();
    }
    quarn::ReadDatapacket(table.SaveToBytes());
    return 0;
}
