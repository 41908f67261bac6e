// Replacing a file when the write itself fails, against the real file system.

#include <windows.h>

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "system/file_io.h"

namespace quarn {
namespace {

// Memory that WriteFile cannot read: the write of the temporary file fails
// half way, after the file was created.
class UnreadablePage {
  public:
    UnreadablePage()
        : page_(::VirtualAlloc(nullptr, kSize, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS)) {}
    UnreadablePage(const UnreadablePage&) = delete;
    UnreadablePage& operator=(const UnreadablePage&) = delete;
    ~UnreadablePage() {
        if (page_ != nullptr) {
            ::VirtualFree(page_, 0, MEM_RELEASE);
        }
    }
    std::string_view Bytes() const { return {static_cast<const char*>(page_), kSize}; }
    explicit operator bool() const { return page_ != nullptr; }

  private:
    static constexpr std::size_t kSize = 4096;
    void* page_;
};

TEST(FileIoWin32, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    test::TempFolder folder;
    const auto file = folder / "quarn.xml";
    ReplaceFileContents(file, "kept");
    const UnreadablePage unreadable;
    ASSERT_TRUE(unreadable);

    EXPECT_THROW(ReplaceFileContents(file, unreadable.Bytes()), Error);

    EXPECT_EQ(ReadWholeFile(file), "kept");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"quarn.xml"});  // no qrn*.tmp stays behind
}

}  // namespace
}  // namespace quarn
