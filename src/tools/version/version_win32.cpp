// version.exe: run once after an update; records in the application event
// log which release is installed, and where.

#include <windows.h>

#include "system/release.h"
#include "system/settings.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const HANDLE source = ::RegisterEventSourceW(nullptr, L"QUARN");
    if (source == nullptr) {
        return 1;
    }
    const std::wstring text = std::wstring(L"QUARN release ") + quarn::BuiltInReleaseW +
                              L" is installed in \"" + quarn::ReadInstallDir() + L"\".";
    const wchar_t* strings[] = {text.c_str()};
    const BOOL reported =
        ::ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    ::DeregisterEventSource(source);
    return reported ? 0 : 1;
}
