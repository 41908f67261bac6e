#include "support/driver_win32.h"

#include <thread>

#include "support/station_win32.h"
#include "system/gdi_win32.h"

namespace quarn::test {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
}

bool HoldsFor(const std::function<bool()>& condition, std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
        if (!condition()) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < end);
    return condition();
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& matches,
                   std::chrono::milliseconds within) {
    struct Search {
        DWORD processId;
        const std::function<bool(HWND)>* matches;
        HWND found;
    };
    HWND found = nullptr;
    WaitUntil(
        [&] {
            Search search{processId, &matches, nullptr};
            ::EnumWindows(
                [](HWND window, LPARAM data) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(data);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(window, &owner);
                    if (owner == s->processId && ::IsWindowVisible(window) &&
                        (*s->matches)(window)) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            found = search.found;
            return found != nullptr;
        },
        within);
    return found;
}

HWND WaitForDialogCaption(DWORD processId, const std::wstring& caption,
                          std::chrono::milliseconds within) {
    return WaitForWindow(
        processId,
        [&](HWND window) { return ClassOf(window) == L"#32770" && WindowText(window) == caption; },
        within);
}

HWND WaitForMessageText(DWORD processId, const std::wstring& text,
                        std::chrono::milliseconds within) {
    return WaitForWindow(
        processId,
        [&](HWND window) {
            if (ClassOf(window) != L"#32770") {
                return false;
            }
            bool has = false;
            struct Look {
                const std::wstring* text;
                bool* has;
            } look{&text, &has};
            ::EnumChildWindows(
                window,
                [](HWND child, LPARAM data) -> BOOL {
                    auto* l = reinterpret_cast<Look*>(data);
                    if (ClassOf(child) == L"Static" && WindowText(child) == *l->text) {
                        *l->has = true;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&look));
            return has;
        },
        within);
}

HWND FindControl(HWND parent, int id) {
    struct Look {
        int id;
        HWND found;
    } look{id, nullptr};
    ::EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto* l = reinterpret_cast<Look*>(data);
            if (::GetDlgCtrlID(child) == l->id) {
                l->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&look));
    return look.found;
}

void TypeText(HWND field, const std::wstring& text) {
    for (const wchar_t c : text) {
        ::SendMessageW(field, WM_CHAR, c, 1);
    }
}

void SelectAll(HWND field) {
    ::SendMessageW(field, EM_SETSEL, 0, -1);
}

void Click(HWND button) {
    ::SendMessageW(button, BM_CLICK, 0, 0);
}

void PressOk(HWND dialog) {
    PressButton(dialog, IDOK);
}

void PressButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

bool AnswerInputDialog(DWORD processId, const std::wstring& caption, const std::wstring& text) {
    const HWND dialog = WaitForDialogCaption(processId, caption);
    if (dialog == nullptr) {
        return false;
    }
    const HWND field = ::GetDlgItem(dialog, 101);
    SelectAll(field);
    TypeText(field, text);
    PressOk(dialog);
    return WaitUntil([&] { return !::IsWindow(dialog); }, 10s);
}

StartedProgram::StartedProgram(const std::filesystem::path& program,
                               const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    win32::unique_process_information process;
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         program.parent_path().c_str(), &startup, process.put())) {
        id_ = process.process_id();
        process_ = process.take_process();
    }
}

StartedProgram::~StartedProgram() {
    End();
}

void StartedProgram::End() {
    if (process_) {
        EndProcessTree(process_.get());
    }
}

bool StartedProgram::Ended(std::chrono::milliseconds within) const {
    return ::WaitForSingleObject(process_.get(), static_cast<DWORD>(within.count())) ==
           WAIT_OBJECT_0;
}

DWORD StartedProgram::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

HWND StartedProgram::WindowOfClass(const std::wstring& className,
                                   std::chrono::milliseconds within) const {
    return WaitForWindow(
        id_, [&](HWND window) { return ClassOf(window) == className; }, within);
}

COLORREF PixelInside(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    return ::GetPixel(win32::unique_window_dc(nullptr).get(), point.x, point.y);
}

}  // namespace quarn::test
