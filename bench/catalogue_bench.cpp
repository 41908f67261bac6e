// Load and save of generated catalogue files, against pugixml's parse of the
// same bytes, and the row applier's own cost per row.

#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include <map>

#include "catalogue/policy_row_applier.h"
#include "catalogue/policy_table.h"
#include "system/memory_registry.h"

namespace quarn {
namespace {

// A description of a few hundred bytes with umlauts, as the catalogue has.
std::string Description(int index) {
    return "Eintrag " + std::to_string(index) +
           ": Verhindert, da\xDF Benutzer die Einstellungen der Arbeitsoberfl\xE4"
           "che \xE4ndern."
           "\r\n\r\nHKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\r\n\r\n"
           "REG_DWORD = NoDesktop\r\n\r\n1 = Desktop ausblenden, keine Symbole, kein "
           "Kontextmen\xFC\r\n0 = Desktop wie gew\xF6hnlich anzeigen\r\n\r\nGilt f\xFCr das "
           "gesperrte Konto an der Station; wirksam nach der n\xE4"
           "chsten Anmeldung.";
}

// A catalogue file of about `versions` stored versions: two thirds unchanged
// rows with TEXT, one third rewritten versions that carry only STATUS.
const std::string& CatalogueFile(int versions) {
    static std::map<int, std::string> files;
    std::string& file = files[versions];
    if (file.empty()) {
        PolicyTable table;
        table.CreateDataSet();
        const int rows = versions * 2 / 3;
        for (int i = 0; i < rows; ++i) {
            table.AppendRow(
                {5000 + 10 * i,
                 "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                 "NoValue" + std::to_string(i), "1", "REG_DWORD", "NT/W2K/XP/Vista/W7/W8",
                 "aktiviert", Description(i)});
        }
        table.First();
        for (int i = 0; i < rows; ++i) {
            if (i % 2 == 0) {
                table.Edit();
                table.SetFieldText(kColumnStatus, "deaktiviert");
            }
            table.Next();
        }
        file = table.SaveToBytes();
    }
    return file;
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
    benchmark->Complexity(benchmark::oN);
}

void LoadPolicyTable(benchmark::State& state) {
    const std::string& file = CatalogueFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PolicyTable table;
        table.LoadFromBytes(file);
        benchmark::DoNotOptimize(table.RecordCount());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(LoadPolicyTable)->Apply(Sizes);

void SavePolicyTable(benchmark::State& state) {
    const std::string& file = CatalogueFile(static_cast<int>(state.range(0)));
    PolicyTable table;
    table.LoadFromBytes(file);
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.SaveToBytes());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(SavePolicyTable)->Apply(Sizes);

void PugixmlParse(benchmark::State& state) {
    const std::string& file = CatalogueFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_buffer(
            file.data(), file.size(), pugi::parse_default, pugi::encoding_latin1);
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(PugixmlParse)->Apply(Sizes);

// A catalogue of 371 rows of mixed kinds in both hives, all switched on.
void FillMixedCatalogue(PolicyTable& table) {
    static const char* const kinds[][2] = {{"REG_DWORD", "1"},
                                           {"REG_SZ", "C:\\Windows\\system32\\logon.scr"},
                                           {"REG_BINARY", "110000004C000000"},
                                           {"DEL_SUBKEY", ""}};
    table.CreateDataSet();
    for (int i = 0; i < 371; ++i) {
        const auto& kind = kinds[i % 4];
        table.AppendRow({5000 + 10 * i,
                         i % 8 == 0 ? "HKLM\\Software\\Policies\\Bench\\Key" + std::to_string(i % 3)
                                    : "HKCU\\Software\\Bench\\Key" + std::to_string(i % 7),
                         "Value" + std::to_string(i), kind[1], kind[0], "XP", "aktiviert", "Text"});
    }
    table.First();
}

// One row through the applier as a pass does it, over the in-memory
// registry, with the 5 ms pause set to zero.
void ApplyRow(benchmark::State& state) {
    MemoryRegistry registry;
    const std::wstring sid = L"S-1-5-21-1-2-3-1001";
    registry.LoadHive(sid);
    const RowApplyContext context{registry, sid, std::chrono::milliseconds(0)};
    PolicyTable table;
    FillMixedCatalogue(table);
    std::int64_t rows = 0;
    for (auto _ : state) {
        if (table.RecNo() == table.RecordCount()) {
            state.PauseTiming();
            table.Close();  // a fresh table, so the gate lets every row through again
            FillMixedCatalogue(table);
            state.ResumeTiming();
        }
        table.Edit();
        ApplyPolicyRow(table, context);
        table.Next();
        ++rows;
    }
    state.SetItemsProcessed(rows);
    // Elapsed seconds / (rows x 5 ms / 100): the row's own cost in percent of its pause.
    state.counters["percent_of_pause"] =
        benchmark::Counter(static_cast<double>(rows) * 5e-5,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ApplyRow)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quarn

BENCHMARK_MAIN();
