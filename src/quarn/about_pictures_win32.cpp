#include "quarn/about_pictures_win32.h"

#include <algorithm>

#include "system/gdi_win32.h"

namespace quarn {

// Each picture's pens and brushes are declared before the selections that use
// them, so they are deleted only once the old ones are back.

void DrawStation(HDC dc, const RECT& area) {
    const win32::unique_hbrush back(::CreateSolidBrush(RGB(232, 238, 246)));
    ::FillRect(dc, &area, back.get());
    const int cx = (area.left + area.right) / 2;
    const int width = (area.right - area.left) * 9 / 20;
    const int top = area.top + 14;
    const int height = (area.bottom - area.top) * 11 / 20;
    // The screen in its case, with a locked-down application on it.
    const win32::unique_hbrush caseBrush(::CreateSolidBrush(RGB(52, 63, 82)));
    const win32::unique_hbrush screen(::CreateSolidBrush(RGB(66, 133, 214)));
    const win32::unique_hbrush window(::CreateSolidBrush(RGB(245, 248, 252)));
    win32::SelectedObject brush(dc, caseBrush.get());
    const win32::SelectedObject pen(dc, ::GetStockObject(NULL_PEN));
    ::RoundRect(dc, cx - width / 2, top, cx + width / 2, top + height, 12, 12);
    brush.Select(screen.get());
    ::Rectangle(dc, cx - width / 2 + 8, top + 8, cx + width / 2 - 8, top + height - 8);
    brush.Select(window.get());
    ::Rectangle(dc, cx - width / 2 + 18, top + 18, cx + width / 2 - 18, top + height - 18);
    // The stand and the foot.
    brush.Select(caseBrush.get());
    ::Rectangle(dc, cx - 9, top + height, cx + 9, area.bottom - 26);
    ::RoundRect(dc, cx - width / 3, area.bottom - 30, cx + width / 3, area.bottom - 14, 8, 8);
}

void DrawLock(HDC dc, const RECT& area) {
    ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
    const int cx = (area.left + area.right) / 2;
    const int size = std::min(area.right - area.left, area.bottom - area.top);
    const int bodyTop = area.top + size * 9 / 20;
    const win32::unique_hpen shackle(::CreatePen(PS_SOLID, size / 10, RGB(120, 128, 140)));
    const win32::unique_hbrush body(::CreateSolidBrush(RGB(0, 176, 80)));
    win32::SelectedObject pen(dc, shackle.get());
    win32::SelectedObject brush(dc, ::GetStockObject(NULL_BRUSH));
    ::Arc(dc, cx - size / 4, area.top + size / 8, cx + size / 4, bodyTop + size / 6, cx + size / 4,
          bodyTop, cx - size / 4, bodyTop);
    pen.Select(::GetStockObject(NULL_PEN));
    brush.Select(body.get());
    ::RoundRect(dc, cx - size * 7 / 20, bodyTop, cx + size * 7 / 20, area.top + size * 19 / 20, 10,
                10);
    brush.Select(::GetStockObject(BLACK_BRUSH));
    ::Ellipse(dc, cx - size / 16, bodyTop + size / 6, cx + size / 16,
              bodyTop + size / 6 + size / 8);
}

}  // namespace quarn
