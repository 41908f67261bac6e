#include "support/screenshot_win32.h"

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "system/gdi_win32.h"

namespace quarn::test {

bool SaveWindowScreenshot(HWND window, const std::filesystem::path& file) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) {
        return false;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const win32::unique_window_dc screen(nullptr);
    const win32::unique_hdc memory(::CreateCompatibleDC(screen.get()));
    const win32::unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    bool copied = false;
    {
        // GetDIBits wants the bitmap deselected.
        const win32::SelectedObject selected(memory.get(), bitmap.get());
        copied = ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top,
                          SRCCOPY) != FALSE;
    }

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    const bool read =
        copied &&
        ::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(),
                    reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    if (!read) {
        return false;
    }
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

bool SaveArtefactScreenshot(HWND window, const char* name) {
    ::RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    // The other process paints in its own time.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return SaveWindowScreenshot(window, ArtefactFolder() / name);
}

std::filesystem::path ArtefactFolder() {
    const std::filesystem::path folder = QUARN_ARTEFACTS_DIR;
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace quarn::test
