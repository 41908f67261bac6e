#include "tools/quarnctl/commands.h"

#include <algorithm>

#include "catalogue/datapacket.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/quarnctl.h"

namespace quarn::quarnctl {

namespace {

// Characters, not bytes, of UTF-8 text.
std::size_t DisplayWidth(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& lines) {
    std::vector<std::size_t> widths;
    for (const std::string& name : header) {
        widths.push_back(DisplayWidth(name));
    }
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(line[i]));
        }
    }
    const auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size()) {
                text.append(widths[i] - DisplayWidth(line[i]) + 2, ' ');
            }
        }
        out << text << "\n";
    };
    print(header);
    for (const auto& line : lines) {
        print(line);
    }
}

bool Arguments::Has(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

Arguments ParseArguments(const std::vector<std::string>& args,
                         std::initializer_list<std::string_view> flags, std::size_t operandCount,
                         const std::string& problem) {
    Arguments arguments;
    for (const std::string& arg : args) {
        if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            arguments.flags.push_back(arg);
        } else {
            arguments.operands.push_back(arg);
        }
    }
    if (arguments.operands.size() != operandCount) {
        throw UsageError(problem);
    }
    return arguments;
}

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

PolicyTable Load(const std::string& name) {
    PolicyTable table;
    try {
        table.LoadFromFile(PathFromUtf8(name));
    } catch (const LoadError& error) {
        const std::string at =
            error.Offset() ? " (at byte " + std::to_string(*error.Offset()) + ")" : "";
        throw Error(name + ": " + error.what() + at);
    } catch (const Error& error) {
        throw Error(error.what());
    }
    return table;
}

std::vector<Row> VisibleRows(PolicyTable& table) {
    std::vector<Row> rows;
    table.First();
    for (int i = 0; i < table.RecordCount(); ++i) {
        Row row;
        for (std::size_t column = 0; column < table.Fields().size(); ++column) {
            row.push_back(table.GetFieldText(column));
        }
        rows.push_back(std::move(row));
        table.Next();
    }
    return rows;
}

std::string Cell(const Row& row, std::size_t column) {
    return column < row.size() ? row[column] : std::string();
}

std::string Quoted(const std::string& cp1252) {
    return "\"" + Cp1252ToUtf8(cp1252) + "\"";
}

}  // namespace quarn::quarnctl
