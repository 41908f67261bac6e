#pragma once

// TService_watch: the service object. Its work is done by two window-message
// timers on the main thread's message loop, one tick at a time: LogTimer
// (every second: the user check) switches RegisteredTimer (every second: the
// watchdog tick) on and off. An error that leaves a tick goes to the
// application event log (source "watch.exe"); the next tick runs normally.
// Between ticks the object remembers only how the programs it keeps running
// have fared, so that a program that keeps ending is not started every second.

#include <windows.h>

#include "watch/station_platform_win32.h"

namespace quarn {

class TService_watch final {
  public:
    // Runs ServiceCreate, as every start of the executable does.
    TService_watch();
    ~TService_watch();
    TService_watch(const TService_watch&) = delete;
    TService_watch& operator=(const TService_watch&) = delete;

    void ServiceCreate();
    // Clears the interactive flag on Windows Vista and later.
    void ServiceBeforeInstall(DWORD& serviceType);
    // On the service thread: idle priority, LogTimer on (through the main
    // thread, which owns the timers).
    void ServiceStart();
    void LogTimerTimer();
    void RegisteredTimerTimer();

    // The main thread's message loop, until Quit.
    int Run();
    // From any thread: ends the message loop.
    void Quit();

    // Switching a timer on that is on, or off that is off, changes nothing.
    void SetLogTimer(bool on);
    void SetRegisteredTimer(bool on);
    bool LogTimerOn() const { return logTimerOn_; }
    bool RegisteredTimerOn() const { return registeredTimerOn_; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    template <typename Tick>
    void RunTick(const wchar_t* timer, Tick&& tick);

    Win32StationPlatform platform_;
    // How the programs RegisteredTimer keeps running have fared.
    KeptPrograms kept_;
    HWND window_ = nullptr;
    bool logTimerOn_ = false;
    bool registeredTimerOn_ = false;
};

}  // namespace quarn
