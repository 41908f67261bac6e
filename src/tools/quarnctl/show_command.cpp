// quarnctl show: a catalogue file's rows in walk order, as a table.

#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"

namespace quarn::quarnctl {
namespace {

int Show(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const Arguments arguments = ParseArguments(args, {}, 1, "show needs one file name");
    PolicyTable table = Load(arguments.operands[0]);
    // The positions the applier reads, the most telling first; each is
    // labelled with the file's own name for it, since the applier goes by
    // position whatever a column is called. A file with fewer columns shows
    // those it has.
    std::vector<std::size_t> columns;
    for (const std::size_t column : {kColumnIndex, kColumnStatus, kColumnDataType, kColumnSubtree,
                                     kColumnSubkey, kColumnKeyValue, kColumnWinVer}) {
        if (column < table.Fields().size()) {
            columns.push_back(column);
        }
    }
    std::vector<std::string> header;
    for (const std::size_t column : columns) {
        header.push_back(Cp1252ToUtf8(table.Fields()[column].name));
    }
    std::vector<std::vector<std::string>> lines;
    for (const Row& row : VisibleRows(table)) {
        std::vector<std::string> line;
        for (const std::size_t column : columns) {
            line.push_back(Cp1252ToUtf8(Cell(row, column)));
        }
        lines.push_back(std::move(line));
    }
    PrintTable(out, header, lines);
    out << lines.size() << " rows\n";
    return kClean;
}

}  // namespace

const Command kShowCommand = {
    "show",
    "  quarnctl show FILE\n"
    "      Lists the rows of a catalogue file in the order they are applied.\n",
    Show,
};

}  // namespace quarn::quarnctl
