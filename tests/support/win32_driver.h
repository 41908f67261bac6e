#pragma once

// Driving another program's windows from outside, as an administrator's
// mouse and keyboard would: finding its windows, typing, clicking, reading.

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace quarn::test {

// The first visible top-level window of the process that matches, or null
// when none appeared in time.
HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& matches,
                   std::chrono::milliseconds within);
// A dialog box of the process (class #32770) with this caption, or whose
// text (a static control) is this text.
HWND WaitForDialogCaption(DWORD processId, const std::wstring& caption,
                          std::chrono::milliseconds within = std::chrono::seconds(20));
HWND WaitForMessageText(DWORD processId, const std::wstring& text,
                        std::chrono::milliseconds within = std::chrono::seconds(20));

std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
// A descendant window by its control identifier.
HWND FindControl(HWND parent, int id);

void TypeText(HWND field, const std::wstring& text);
// Selects all of a field's text, so that typing replaces it.
void SelectAll(HWND field);
void Click(HWND button);
void PressOk(HWND dialog);
// Types into the input dialog with this caption and confirms it.
bool AnswerInputDialog(DWORD processId, const std::wstring& caption, const std::wstring& text);

// The colour the screen shows at a point inside the window's client area.
COLORREF PixelInside(HWND window, int x, int y);

// Waits until the condition holds; false when it did not in time.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds within);

}  // namespace quarn::test
