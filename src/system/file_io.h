#pragma once

// Whole-file reads and writes for the catalogue files. A write replaces the
// file at once or not at all: the bytes go to a temporary file in the same
// folder, which is flushed to disk and then renamed over the target.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "system/error.h"

namespace quarn {

// Files larger than this are refused instead of read (no catalogue comes near).
inline constexpr std::size_t kMaxFileSize = 256u << 20;

// Raises Error naming the file and the system's reason.
std::string ReadWholeFile(const std::filesystem::path& path);
void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

bool FileExists(const std::filesystem::path& path);

// The path as UTF-8, for messages.
std::string PathText(const std::filesystem::path& path);

}  // namespace quarn
