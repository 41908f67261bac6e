// A stand-in for the station's application: appends the time it started
// (milliseconds since boot) to the log file named by its first argument,
// stays the number of seconds its second argument gives (0 when absent) and
// ends.

#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
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
