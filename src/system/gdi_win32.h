#pragma once

// Owners for GDI objects and device contexts, and the selection of an object
// into a device context for the length of a scope.

#include <windows.h>

#include "system/handle_win32.h"

namespace quarn::win32 {

// Pens, brushes, fonts and bitmaps: null when absent, deleted with
// DeleteObject. An object is deleted only once no device context has it
// selected, so its owner is declared before any SelectedObject that selects it.
template <typename Object>
struct GdiObjectTraits : NullMeansEmpty<Object> {
    static void Release(Object object) { ::DeleteObject(object); }
};

using unique_hbrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using unique_hpen = UniqueHandle<GdiObjectTraits<HPEN>>;
using unique_hfont = UniqueHandle<GdiObjectTraits<HFONT>>;
using unique_hbitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;

// A device context of the program's own (CreateCompatibleDC), deleted with
// DeleteDC.
struct CreatedDcTraits : NullMeansEmpty<HDC> {
    static void Release(Type dc) { ::DeleteDC(dc); }
};
using unique_hdc = UniqueHandle<CreatedDcTraits>;

// A window's device context, taken with GetDC and given back with ReleaseDC to
// the same window; a null window is the whole screen.
class unique_window_dc {
  public:
    explicit unique_window_dc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    ~unique_window_dc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(window_, dc_);
        }
    }

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// A pen, brush, font or bitmap selected into a device context until the end of
// the scope, which puts back the object of that kind selected before.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr) {
            ::SelectObject(dc_, previous_);
        }
    }

    // Selects another object of the same kind; the end still puts back the
    // one from before the scope.
    void Select(HGDIOBJ object) { ::SelectObject(dc_, object); }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace quarn::win32
