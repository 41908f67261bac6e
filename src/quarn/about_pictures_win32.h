#pragma once

// The pictures of the main window's information panel, drawn into the area of
// their owner-drawn controls: a public-access station, and a lock.

#include <windows.h>

namespace quarn {

// The screen with a locked-down application on it, in its case on a stand, on
// a light blue background.
void DrawStation(HDC dc, const RECT& area);

// A closed padlock on the button face colour.
void DrawLock(HDC dc, const RECT& area);

}  // namespace quarn
