// dummy.exe: runs under the locked-down account while the configurator writes
// into that account's hive, which keeps the hive loaded. It waits while the
// settings value "quarn" reads "1", and a minute at the most.

#include <windows.h>

#include <chrono>
#include <thread>

#include "system/settings.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    constexpr auto kLongest = std::chrono::seconds(60);
    constexpr auto kPoll = std::chrono::milliseconds(250);
    const auto start = std::chrono::steady_clock::now();
    while (quarn::ReadQuarnFlag() == L"1" && std::chrono::steady_clock::now() - start < kLongest) {
        std::this_thread::sleep_for(kPoll);
    }
    return 0;
}
