// The fuzzer's regression corpus: inputs that once broke the reader, and
// hand-made hostile ones. Each ends in a load or a LoadError inside the file,
// and what loads writes and reads back the same.

#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/datapacket.h"
#include "system/file_io.h"

namespace quarn {
namespace {

TEST(DatapacketCorpus, EveryInputLoadsOrFailsInsideTheFile) {
    const std::filesystem::path corpus = QUARN_FUZZ_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus.string();
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        SCOPED_TRACE(entry.path().filename().string());
        ++inputs;
        const std::string bytes = ReadWholeFile(entry.path());
        try {
            const TableContent content = ReadDatapacket(bytes);
            const TableContent reread = ReadDatapacket(WriteDatapacket(content));
            EXPECT_EQ(reread.versions, content.versions);
            EXPECT_EQ(reread.walkOrder, content.walkOrder);
        } catch (const LoadError& error) {
            EXPECT_LE(error.Offset(), bytes.size());
        }
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace quarn
