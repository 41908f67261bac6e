#include "quarn/prompts_win32.h"

#include <cstdint>
#include <vector>

#include "quarn/input_query_layout.h"
#include "system/gdi_win32.h"

namespace quarn {
namespace {

constexpr int kPromptId = 100;
constexpr int kEditId = 101;
constexpr int kMaxInput = 255;

struct DialogState {
    const std::wstring* caption;
    const std::wstring* prompt;
    std::wstring* value;
    bool masked;
};

// An empty dialog template in memory; the controls are made in WM_INITDIALOG,
// where the font's character size is known.
std::vector<WORD> DialogTemplate() {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header->cdit = 0;
    header->cx = 180;
    header->cy = 60;
    words.push_back(0);  // no menu
    words.push_back(0);  // the standard dialog class
    words.push_back(0);  // no title yet
    words.push_back(8);  // point size
    for (const wchar_t c : std::wstring(L"Tahoma")) {
        words.push_back(static_cast<WORD>(c));
    }
    words.push_back(0);
    return words;
}

HWND MakeControl(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style,
                 DWORD exStyle, int id, const Bounds& bounds, HFONT font) {
    const HWND control =
        ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, bounds.left,
                          bounds.top, bounds.width, bounds.height, dialog,
                          reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)),
                          ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void Initialise(HWND dialog, const DialogState& state) {
    ::SetWindowTextW(dialog, state.caption->c_str());
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));

    // The average character size of the font, and the wrapped prompt's size.
    int cx = 0;
    int cy = 0;
    RECT promptRect{};
    TEXTMETRICW metrics{};
    {
        const win32::unique_window_dc dc(dialog);
        const win32::SelectedObject selected(dc.get(), font);
        static constexpr wchar_t kAlphabet[] =
            L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        SIZE alphabet{};
        ::GetTextExtentPoint32W(dc.get(), kAlphabet, 52, &alphabet);
        cx = alphabet.cx / 52;
        cy = alphabet.cy;
        const InputQueryLayout widths = LayoutInputQuery(cx, cy, 0, 0, 0);
        promptRect = {0, 0, widths.promptMaxWidth, 0};
        ::DrawTextW(dc.get(), state.prompt->c_str(), -1, &promptRect,
                    DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        ::GetTextMetricsW(dc.get(), &metrics);
    }

    // An edit control sized for one line of the font, with its 3D border.
    const int editHeight = metrics.tmHeight + 2 * ::GetSystemMetrics(SM_CYEDGE) + 4;
    const InputQueryLayout layout =
        LayoutInputQuery(cx, cy, promptRect.right, promptRect.bottom, editHeight);

    MakeControl(dialog, L"STATIC", state.prompt->c_str(), SS_LEFT | SS_NOPREFIX, 0, kPromptId,
                layout.prompt, font);
    const HWND edit = MakeControl(dialog, L"EDIT", state.value->c_str(),
                                  WS_TABSTOP | ES_AUTOHSCROLL | (state.masked ? ES_PASSWORD : 0),
                                  WS_EX_CLIENTEDGE, kEditId, layout.edit, font);
    ::SendMessageW(edit, EM_LIMITTEXT, kMaxInput, 0);
    if (state.masked) {
        ::SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
    }
    MakeControl(dialog, L"BUTTON", L"Ok", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, layout.ok, font);
    MakeControl(dialog, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL,
                layout.cancel, font);

    // The client area the layout asks for, centred on the screen.
    RECT frame{0, 0, layout.clientWidth, layout.clientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(dialog, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);

    ::SetFocus(edit);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK InputQueryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* state = reinterpret_cast<const DialogState*>(lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Initialise(dialog, *state);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) {
                auto* state =
                    reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
                const HWND edit = ::GetDlgItem(dialog, kEditId);
                std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1,
                                  L'\0');
                text.resize(static_cast<std::size_t>(
                    ::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
                *state->value = std::move(text);
                ::EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (id == IDCANCEL) {
                ::EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

bool InputQueryMasked(HWND owner, const std::wstring& caption, const std::wstring& prompt,
                      std::wstring& value, bool masked) {
    std::wstring edited = value;
    DialogState state{&caption, &prompt, &edited, masked};
    const std::vector<WORD> dialogTemplate = DialogTemplate();
    const INT_PTR result = ::DialogBoxIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
        owner, InputQueryProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) {
        return false;
    }
    value = std::move(edited);
    return true;
}

bool Win32Prompts::InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                                    std::wstring& value, bool masked) {
    return quarn::InputQueryMasked(owner_, caption, prompt, value, masked);
}

void Win32Prompts::ShowMessage(const std::wstring& text) {
    ::MessageBoxW(owner_, text.c_str(), title_.c_str(), MB_OK);
}

}  // namespace quarn
