// The main job shown on a freshly installed station, for `make run` where
// nobody can use the window: the configurator driven from outside through
// its first start (a demonstration password, printed), the Wine user's
// account locked, Lock Down on with the recommended catalogue for Windows
// 10 and 11, a screenshot after each step. Not a test: it reports each step
// and ends with status 1 when a step did not come about.
//
//   station_demo.exe INSTALLATION_FOLDER SCREENSHOT_FOLDER

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "e2e/configurator_driver_win32.h"
#include "quarn/form1_ids.h"
#include "support/driver_win32.h"
#include "support/screenshot_win32.h"
#include "support/station_queries_win32.h"
#include "system/file_io.h"
#include "system/settings.h"
#include "system/text_encoding.h"

namespace {

using namespace std::chrono_literals;
using namespace quarn;
using namespace quarn::test;

constexpr wchar_t kDemoPassword[] = L"demo-2026";

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int Failed(const std::string& step) {
    Say("station-demo: " + step + " did not come about; the demonstration stops here.");
    return 1;
}

class Demo {
  public:
    Demo(std::filesystem::path folder, std::filesystem::path shots)
        : folder_(std::move(folder)), shots_(std::move(shots)) {}

    void Shot(HWND window, const char* name) {
        const std::filesystem::path file = shots_ / name;
        if (SaveWindowScreenshot(window, file)) {
            Say("   screenshot " + Utf16ToUtf8(file.stem().wstring()));
        }
    }

    int Run() {
        StartedProgram quarn(folder_ / L"quarn.exe");
        if (!quarn.Started()) {
            return Failed("starting quarn.exe");
        }
        Say("1. First start: the configurator asks for an administrator password of its own.");
        const HWND please = WaitForMessageText(quarn.Id(), L"please create Password", 60s);
        if (please == nullptr) {
            return Failed("the first start's question for a password");
        }
        Shot(please, "demo-1-first-start.bmp");
        PressOk(please);
        if (!AnswerInputDialog(quarn.Id(), L"Input Password", kDemoPassword) ||
            !AnswerInputDialog(quarn.Id(), L"Repeat Password", kDemoPassword) ||
            !AnswerInputDialog(quarn.Id(), L"Input Password", kDemoPassword)) {
            return Failed("the password dialogs");
        }
        Say("   The demonstration password is \"" + Utf16ToUtf8(kDemoPassword) +
            "\"; every later start asks for it.");
        const HWND form = quarn.WindowOfClass(L"TForm1", 30s);
        if (form == nullptr) {
            return Failed("the main window");
        }
        DismissUnknownAccount(quarn.Id(), 20s);  // the default account "quarn" does not exist here

        Say("2. The Wine user's own account \"" + Utf16ToUtf8(CurrentUserName()) +
            "\" becomes the station's account and is locked (its SID is shown).");
        if (!EnterAccountName(form, CurrentUserName())) {
            return Failed("entering the account's name");
        }
        Click(FindControl(form, form1::kLockId));
        const HWND sid = FindControl(form, form1::kSidLabelId);
        if (!WaitUntil([&] { return !WindowText(sid).empty(); }, 30s)) {
            return Failed("locking the account");
        }
        Shot(form, "demo-2-locked.bmp");

        Say("3. Lock Down with the recommended catalogue for Windows 10 and 11 (as \"Open *.xml "
            "File\" with catalogues\\lock-windows10-11.xml would make it quarn.xml).");
        try {
            ReplaceFileContents(folder_ / L"quarn.xml",
                                ReadWholeFile(folder_ / L"catalogues" / L"lock-windows10-11.xml"));
        } catch (const Error& error) {
            return Failed(std::string("putting the recommended catalogue in place: ") +
                          error.what());
        }
        Click(FindControl(form, form1::kLockDownId));
        const HWND progress = FindControl(form, form1::kProgressBarId);
        if (!WaitUntil([&] { return ReadCompleteLockDown() == L"true"; }, 60s) ||
            !WaitUntil([&] { return !::IsWindowVisible(progress); }, 180s)) {
            return Failed("the Lock Down pass");
        }
        Shot(form, "demo-3-locked-down.bmp");
        ::PostMessageW(form, WM_CLOSE, 0, 0);
        if (!quarn.Ended(60s)) {
            return Failed("closing the configurator");
        }
        return 0;
    }

  private:
    std::filesystem::path folder_;
    std::filesystem::path shots_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: station_demo.exe INSTALLATION_FOLDER SCREENSHOT_FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[2]);
    return Demo(argv[1], argv[2]).Run();
}
