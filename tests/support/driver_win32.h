#pragma once

// Driving another program's windows from outside, as an administrator's
// mouse and keyboard would: finding its windows, typing, clicking, reading.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "system/handle_win32.h"

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
// Presses a dialog's button by its identifier (IDYES, IDNO, ...).
void PressButton(HWND dialog, int id);
// Types into the input dialog with this caption and confirms it.
bool AnswerInputDialog(DWORD processId, const std::wstring& caption, const std::wstring& text);

// The colour the screen shows at a point inside the window's client area.
COLORREF PixelInside(HWND window, int x, int y);

// Waits until the condition holds; false when it did not in time.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds within);
// Looks at the condition for the whole time: false as soon as it fails.
// Only after the program has shown that it saw what the test did (a tick, a
// window), so that a "nothing happens" check does not rest on a guessed wait.
bool HoldsFor(const std::function<bool()>& condition, std::chrono::milliseconds duration);

// A program started as the administrator starts it (working folder = its
// own). It is ended with the test, together with every process it started,
// unless they all ended by themselves.
class StartedProgram {
  public:
    explicit StartedProgram(const std::filesystem::path& program,
                            const std::wstring& arguments = L"");
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
    ~StartedProgram();

    DWORD Id() const { return id_; }
    bool Started() const { return static_cast<bool>(process_); }
    bool Ended(std::chrono::milliseconds within) const;
    DWORD ExitCode() const;
    // Ends it and every process it started, and waits for them.
    void End();
    // Its first visible top-level window of this window class.
    HWND WindowOfClass(const std::wstring& className,
                       std::chrono::milliseconds within = std::chrono::seconds(20)) const;

  private:
    win32::unique_handle process_;
    DWORD id_ = 0;
};

}  // namespace quarn::test
