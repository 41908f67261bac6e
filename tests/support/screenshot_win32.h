#pragma once

#include <windows.h>

#include <filesystem>

namespace quarn::test {

// Writes what the screen shows of the window (frame included) to a 24-bit
// BMP file; false when the capture failed.
bool SaveWindowScreenshot(HWND window, const std::filesystem::path& file);

// The window of another process repainted and saved as NAME among the test
// artefacts; false when the capture failed.
bool SaveArtefactScreenshot(HWND window, const char* name);

// The folder for test artefacts (screenshots), created when missing.
std::filesystem::path ArtefactFolder();

}  // namespace quarn::test
