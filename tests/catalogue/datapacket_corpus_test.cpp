// The fuzzer's regression corpus: inputs that once broke the reader, and
// hand-made hostile ones. Each has one pinned outcome: it loads with so many
// visible rows, and what loads writes and reads back the same; or it fails
// with its status at its byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "catalogue/datapacket.h"
#include "system/file_io.h"

namespace quarn {
namespace {

struct Outcome {
    std::size_t visibleRows;          // when the input loads
    std::optional<LoadStatus> error;  // when it does not: why,
    std::size_t offset;               // and the byte where reading stopped
};

const std::map<std::string, Outcome>& Outcomes() {
    static const std::map<std::string, Outcome> outcomes = {
        {"bom-and-utf8-declaration", {0, LoadStatus::InvalidUtf8, 140}},
        {"change-log-cycle", {4, {}, 0}},
        {"change-log-two-entries-for-one-version", {4, {}, 0}},
        {"deep-nesting", {0, LoadStatus::Mismatch, 12}},
        {"entity-storm", {1, {}, 0}},
        {"field-name-with-control-bytes", {0, LoadStatus::FieldNameNotAColumn, 84}},
        {"huge-unterminated-value", {0, LoadStatus::Mismatch, 87}},
        {"long-name-invalid-utf8-offset", {0, LoadStatus::InvalidUtf8, 13315}},
        {"many-columns-sparse-rows", {2000, {}, 0}},
    };
    return outcomes;
}

TEST(DatapacketCorpus, EveryInputHasItsOutcome) {
    const std::filesystem::path corpus = QUARN_FUZZ_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus.string();
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const auto outcome = Outcomes().find(name);
        ASSERT_NE(outcome, Outcomes().end()) << "an input without a pinned outcome";
        ++seen;
        const std::string bytes = ReadWholeFile(entry.path());
        try {
            const TableContent content = ReadDatapacket(bytes);
            EXPECT_EQ(outcome->second.error, std::nullopt) << "loaded";
            EXPECT_EQ(content.walkOrder.size(), outcome->second.visibleRows);
            const TableContent reread = ReadDatapacket(WriteDatapacket(content));
            EXPECT_EQ(reread.versions, content.versions);
            EXPECT_EQ(reread.walkOrder, content.walkOrder);
        } catch (const LoadError& error) {
            EXPECT_EQ(error.Status(), outcome->second.error) << error.what();
            EXPECT_EQ(error.Offset(), outcome->second.offset) << error.what();
        }
    }
    EXPECT_EQ(seen, Outcomes().size());
}

}  // namespace
}  // namespace quarn
