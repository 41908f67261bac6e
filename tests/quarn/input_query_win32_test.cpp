// The real input dialog under Wine and a virtual display: typed into,
// confirmed, cancelled, with a screenshot of it as a test artefact.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "quarn/input_query_layout.h"
#include "quarn/prompts_win32.h"
#include "support/screenshot_win32.h"
#include "system/gdi_win32.h"

namespace quarn {
namespace {

// Drives the dialog from a second thread while the test's thread sits in its
// modal loop.
class DialogDriver {
  public:
    explicit DialogDriver(std::wstring caption, std::function<void(HWND)> script)
        : caption_(std::move(caption)), thread_([this, script = std::move(script)] {
              const HWND dialog = WaitForDialog();
              if (dialog != nullptr) {
                  script(dialog);
              }
          }) {}
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    ~DialogDriver() { thread_.join(); }

  private:
    HWND WaitForDialog() const {
        for (int i = 0; i < 200; ++i) {
            const HWND dialog = ::FindWindowW(L"#32770", caption_.c_str());
            if (dialog != nullptr && ::IsWindowVisible(dialog)) {
                return dialog;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return nullptr;
    }

    std::wstring caption_;
    std::thread thread_;
};

void Type(HWND dialog, const std::wstring& text) {
    const HWND edit = ::GetDlgItem(dialog, 101);
    for (const wchar_t c : text) {
        ::SendMessageW(edit, WM_CHAR, c, 1);
    }
}

void Press(HWND dialog, int button) {
    ::SendMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

Bounds ClientBounds(HWND dialog, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

TEST(InputQueryMasked, TypedIntoAndConfirmed) {
    std::wstring value = L"old";
    std::wstring editText;
    wchar_t passwordChar = 0;
    bool captured = false;
    InputQueryLayout expected;
    Bounds ok, cancel, edit;
    RECT client{};
    {
        const DialogDriver driver(L"Input Password", [&](HWND dialog) {
            const HWND field = ::GetDlgItem(dialog, 101);
            // The initial text is selected, so typing replaces it.
            Type(dialog, L"Gr\u00FC\u00DFe");
            wchar_t buffer[300] = {};
            ::GetWindowTextW(field, buffer, 300);
            editText = buffer;
            passwordChar = static_cast<wchar_t>(::SendMessageW(field, EM_GETPASSWORDCHAR, 0, 0));

            // The layout against the dialog units of the dialog's own font.
            const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
            SIZE alphabet{};
            {
                const win32::unique_window_dc dc(dialog);
                const win32::SelectedObject selected(dc.get(), font);
                ::GetTextExtentPoint32W(dc.get(),
                                        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                                        &alphabet);
            }
            const Bounds prompt = ClientBounds(dialog, 100);
            edit = ClientBounds(dialog, 101);
            expected = LayoutInputQuery(alphabet.cx / 52, alphabet.cy, prompt.width, prompt.height,
                                        edit.height);
            ok = ClientBounds(dialog, IDOK);
            cancel = ClientBounds(dialog, IDCANCEL);
            ::GetClientRect(dialog, &client);

            ::RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            captured =
                test::SaveWindowScreenshot(dialog, test::ArtefactFolder() / "input-query.bmp");
            Press(dialog, IDOK);
        });
        EXPECT_TRUE(InputQueryMasked(nullptr, L"Input Password", L"Password: ", value, true));
    }
    EXPECT_EQ(value, L"Gr\u00FC\u00DFe");
    EXPECT_EQ(editText, L"Gr\u00FC\u00DFe");
    EXPECT_EQ(passwordChar, L'*');
    EXPECT_TRUE(captured);
    EXPECT_EQ(edit, expected.edit);
    EXPECT_EQ(ok, expected.ok);
    EXPECT_EQ(cancel, expected.cancel);
    EXPECT_EQ(client.right, expected.clientWidth);
    EXPECT_EQ(client.bottom, expected.clientHeight);
}

TEST(InputQueryMasked, CancelEscapeAndEnter) {
    struct Case {
        const char* name;
        std::function<void(HWND)> finish;
        bool confirmed;
    };
    const Case cases[] = {
        {"Cancel button", [](HWND dialog) { Press(dialog, IDCANCEL); }, false},
        {"Escape key",
         [](HWND dialog) {
             ::PostMessageW(::GetDlgItem(dialog, 101), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         },
         false},
        {"Enter key, the default button",
         [](HWND dialog) {
             ::PostMessageW(::GetDlgItem(dialog, 101), WM_KEYDOWN, VK_RETURN, 0x001C0001);
         },
         true},
        {"closing the window", [](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring value = L"kept";
        bool result = false;
        {
            const DialogDriver driver(L"Repeat Password", [&](HWND dialog) {
                Type(dialog, L"typed");
                c.finish(dialog);
            });
            result = InputQueryMasked(nullptr, L"Repeat Password", L"repeat", value, false);
        }
        EXPECT_EQ(result, c.confirmed);
        EXPECT_EQ(value, c.confirmed ? L"typed" : L"kept");
    }
}

TEST(InputQueryMasked, AcceptsAtMost255Characters) {
    std::wstring value;
    {
        const DialogDriver driver(L"Input Password", [](HWND dialog) {
            Type(dialog, std::wstring(300, L'x'));
            Press(dialog, IDOK);
        });
        EXPECT_TRUE(InputQueryMasked(nullptr, L"Input Password", L"input", value, true));
    }
    EXPECT_EQ(value.size(), 255u);
}

}  // namespace
}  // namespace quarn
