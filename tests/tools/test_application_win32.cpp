// A stand-in for the station's application: appends the time it started
// (milliseconds since boot) to the log file named by its first argument,
// stays the number of seconds its second argument gives (0 when absent) and
// ends. Started without arguments (as an installer or version.exe is), it
// appends the command line it was given to "<its own path>.log".

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        FILE* log = _wfopen((std::wstring(self) + L".log").c_str(), L"ab");
        if (log == nullptr) {
            return 3;
        }
        std::fprintf(log, "[%ls]\n", ::GetCommandLineW());
        std::fclose(log);
        return 0;
    }
    FILE* log = _wfopen(argv[1], L"a");
    if (log == nullptr) {
        return 3;
    }
    std::fprintf(log, "%llu\n", static_cast<unsigned long long>(::GetTickCount64()));
    std::fclose(log);
    if (argc > 2) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10) * 1000));
    }
    return 0;
}
