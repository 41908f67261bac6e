// quarnctl diff: the rows added, removed and changed from one catalogue file
// to another, matched by INDEX, and the columns matched by name.

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

#include "system/text_case.h"
#include "system/text_encoding.h"
#include "tools/quarnctl/commands.h"

namespace quarn::quarnctl {
namespace {

// Prints each difference on a line of its own and counts them.
class DiffReport {
  public:
    explicit DiffReport(std::ostream& out) : out_(out) {}
    void operator()(const std::string& line) {
        out_ << line << "\n";
        ++count_;
    }
    int Count() const { return count_; }

  private:
    std::ostream& out_;
    int count_ = 0;
};

// A column both files have: its name in A and its position in each.
struct SharedColumn {
    std::string name;
    std::size_t inA;
    std::size_t inB;
};

bool SameColumnName(const FieldDef& x, const FieldDef& y) {
    return EqualsIgnoringCaseAZ(x.name, y.name);
}

// Matches the columns by name and reports those that only one file has and
// those that stand at another position.
std::vector<SharedColumn> MatchColumns(const PolicyTable& a, const std::string& nameA,
                                       const PolicyTable& b, const std::string& nameB,
                                       DiffReport& report) {
    const std::vector<FieldDef>& fieldsA = a.Fields();
    const std::vector<FieldDef>& fieldsB = b.Fields();
    std::vector<SharedColumn> shared;
    for (std::size_t i = 0; i < fieldsA.size(); ++i) {
        const auto it = std::find_if(fieldsB.begin(), fieldsB.end(), [&](const FieldDef& f) {
            return SameColumnName(f, fieldsA[i]);
        });
        if (it == fieldsB.end()) {
            report("column " + Quoted(fieldsA[i].name) + " only in " + nameA);
            continue;
        }
        const auto inB = static_cast<std::size_t>(it - fieldsB.begin());
        shared.push_back({fieldsA[i].name, i, inB});
        if (inB != i) {
            report("column " + Quoted(fieldsA[i].name) + " stands at another position");
        }
    }
    for (const FieldDef& field : fieldsB) {
        if (std::none_of(fieldsA.begin(), fieldsA.end(),
                         [&](const FieldDef& f) { return SameColumnName(f, field); })) {
            report("column " + Quoted(field.name) + " only in " + nameB);
        }
    }
    return shared;
}

// The position of the column named INDEX in any letter case.
std::optional<std::size_t> IndexColumn(const PolicyTable& table) {
    for (std::size_t i = 0; i < table.Fields().size(); ++i) {
        if (EqualsIgnoringCaseAZ(table.Fields()[i].name, "INDEX")) {
            return i;
        }
    }
    return std::nullopt;
}

// A file's visible rows by their INDEX, and the INDEX values in walk order.
// Of two rows with one INDEX the first counts.
struct IndexedRows {
    std::map<std::string, Row> byIndex;
    std::vector<std::string> order;

    bool Has(const std::string& index) const { return byIndex.count(index) != 0; }
};

IndexedRows ByIndex(PolicyTable& table, std::size_t indexColumn) {
    IndexedRows rows;
    for (const Row& row : VisibleRows(table)) {
        if (rows.byIndex.emplace(Cell(row, indexColumn), row).second) {
            rows.order.push_back(Cell(row, indexColumn));
        }
    }
    return rows;
}

// In A's order: the rows only A has, and the shared columns that differ in
// the rows both have.
void ReportRemovedAndChanged(const IndexedRows& a, const std::string& nameA, const IndexedRows& b,
                             const std::vector<SharedColumn>& columns, DiffReport& report) {
    for (const std::string& index : a.order) {
        const auto other = b.byIndex.find(index);
        if (other == b.byIndex.end()) {
            report("- " + Cp1252ToUtf8(index) + " only in " + nameA);
            continue;
        }
        for (const SharedColumn& column : columns) {
            const std::string before = Cell(a.byIndex.at(index), column.inA);
            const std::string after = Cell(other->second, column.inB);
            if (before != after) {
                const bool longText = before.size() + after.size() > 120;
                report("~ " + Cp1252ToUtf8(index) + " " + Cp1252ToUtf8(column.name) +
                       (longText ? " differs" : ": " + Quoted(before) + " -> " + Quoted(after)));
            }
        }
    }
}

// In B's order: the rows only B has.
void ReportAdded(const IndexedRows& a, const IndexedRows& b, const std::string& nameB,
                 DiffReport& report) {
    for (const std::string& index : b.order) {
        if (!a.Has(index)) {
            report("+ " + Cp1252ToUtf8(index) + " only in " + nameB);
        }
    }
}

// Whether the rows both files have are walked in the same order.
void ReportOrder(const IndexedRows& a, const IndexedRows& b, DiffReport& report) {
    std::vector<std::string> sharedA;
    std::vector<std::string> sharedB;
    std::copy_if(a.order.begin(), a.order.end(), std::back_inserter(sharedA),
                 [&](const std::string& index) { return b.Has(index); });
    std::copy_if(b.order.begin(), b.order.end(), std::back_inserter(sharedB),
                 [&](const std::string& index) { return a.Has(index); });
    if (sharedA != sharedB) {
        report("the rows they share are applied in another order");
    }
}

int Diff(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const Arguments arguments = ParseArguments(args, {}, 2, "diff needs two file names");
    const std::string& nameA = arguments.operands[0];
    const std::string& nameB = arguments.operands[1];
    PolicyTable a = Load(nameA);
    PolicyTable b = Load(nameB);
    DiffReport report(out);
    const std::vector<SharedColumn> columns = MatchColumns(a, nameA, b, nameB, report);
    const auto indexA = IndexColumn(a);
    const auto indexB = IndexColumn(b);
    if (!indexA || !indexB) {
        throw Error("both files need an INDEX column to compare rows");
    }
    const IndexedRows rowsA = ByIndex(a, *indexA);
    const IndexedRows rowsB = ByIndex(b, *indexB);
    ReportRemovedAndChanged(rowsA, nameA, rowsB, columns, report);
    ReportAdded(rowsA, rowsB, nameB, report);
    ReportOrder(rowsA, rowsB, report);
    if (report.Count() == 0) {
        out << "No differences.\n";
        return kClean;
    }
    return kFindings;
}

}  // namespace

const Command kDiffCommand = {
    "diff",
    "  quarnctl diff A B\n"
    "      Lists the rows added, removed and changed from A to B, by INDEX.\n"
    "      Exit status 0 when equal, 1 with differences, 2 on errors.\n",
    Diff,
};

}  // namespace quarn::quarnctl
