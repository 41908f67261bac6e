#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"
#include "system/file_io.h"

namespace quarn {
namespace {

std::string Contents(const std::filesystem::path& path) {
    return ReadWholeFile(path);
}

TEST(FileIo, ReplaceWritesNewAndReplacesExistingFiles) {
    test::TempFolder folder;
    const auto file = folder / "quarn.xml";
    ReplaceFileContents(file, "first");
    EXPECT_EQ(Contents(file), "first");
    ReplaceFileContents(file, std::string("second\0with zero", 16));
    EXPECT_EQ(Contents(file), std::string("second\0with zero", 16));
    // No temporary file stays behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(FileIo, FailedReplaceLeavesTheOldFile) {
    test::TempFolder folder;
    const auto file = folder / "missing-folder" / "quarn.xml";
    EXPECT_THROW(ReplaceFileContents(file, "x"), Error);
    EXPECT_FALSE(FileExists(file));

    // A folder in the target's place cannot be replaced by a file.
    const auto occupied = folder / "occupied";
    std::filesystem::create_directory(occupied);
    std::ofstream(occupied / "inside") << "kept";
    EXPECT_THROW(ReplaceFileContents(occupied, "x"), Error);
    EXPECT_EQ(Contents(occupied / "inside"), "kept");
}

TEST(FileIo, ReadingAMissingFileNamesIt) {
    test::TempFolder folder;
    try {
        ReadWholeFile(folder / "absent.xml");
        FAIL() << "nothing raised";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Cannot open file"), std::string::npos) << message;
        EXPECT_NE(message.find("absent.xml"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace quarn
