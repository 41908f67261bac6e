// The owners that do more than call one release function: both handles of a
// started process, an object selected for a scope, and COM for a thread.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "system/com_win32.h"
#include "system/gdi_win32.h"
#include "system/handle_win32.h"

namespace quarn {
namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

// Two events stand in for a process and its thread: the owner only closes what
// the starting call handed out, whatever kind of object it is.
struct HandedOut {
    HANDLE process;
    HANDLE thread;
};

HandedOut HandOut(win32::unique_process_information& owner) {
    PROCESS_INFORMATION* information = owner.put();
    information->hProcess = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    information->hThread = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(IsOpen(information->hProcess));
    EXPECT_TRUE(IsOpen(information->hThread));
    return {information->hProcess, information->hThread};
}

TEST(UniqueProcessInformation, ClosesBothHandlesAtItsEnd) {
    HandedOut handles{};
    {
        win32::unique_process_information process;
        handles = HandOut(process);
    }
    EXPECT_FALSE(IsOpen(handles.process));
    EXPECT_FALSE(IsOpen(handles.thread));
}

TEST(UniqueProcessInformation, ClosesWhatItHeldBeforeTheNextStart) {
    win32::unique_process_information process;
    const HandedOut first = HandOut(process);
    const PROCESS_INFORMATION* next = process.put();
    EXPECT_FALSE(IsOpen(first.process));
    EXPECT_FALSE(IsOpen(first.thread));
    EXPECT_EQ(next->hProcess, nullptr);
    EXPECT_EQ(next->hThread, nullptr);
}

TEST(UniqueProcessInformation, TakingTheProcessClosesOnlyTheThread) {
    win32::unique_process_information process;
    const HandedOut handles = HandOut(process);
    {
        const win32::unique_handle taken = process.take_process();
        EXPECT_EQ(taken.get(), handles.process);
        EXPECT_TRUE(IsOpen(handles.process));
        EXPECT_FALSE(IsOpen(handles.thread));
        EXPECT_FALSE(process);
    }
    EXPECT_FALSE(IsOpen(handles.process));
}

// A memory device context with a brush of its own selected, as a caller finds
// a device context it is handed.
class SelectedObjectTest : public ::testing::Test {
  protected:
    SelectedObjectTest() : dc_(::CreateCompatibleDC(nullptr)) {
        ::SelectObject(dc_.get(), ::GetStockObject(GRAY_BRUSH));
    }

    HGDIOBJ CurrentBrush() const { return ::GetCurrentObject(dc_.get(), OBJ_BRUSH); }

    win32::unique_hdc dc_;
};

TEST_F(SelectedObjectTest, PutsBackTheObjectSelectedBeforeItsScope) {
    const win32::unique_hbrush red(::CreateSolidBrush(RGB(255, 0, 0)));
    const win32::unique_hbrush blue(::CreateSolidBrush(RGB(0, 0, 255)));
    {
        win32::SelectedObject brush(dc_.get(), red.get());
        EXPECT_EQ(CurrentBrush(), red.get());
        brush.Select(blue.get());
        EXPECT_EQ(CurrentBrush(), blue.get());
    }
    EXPECT_EQ(CurrentBrush(), ::GetStockObject(GRAY_BRUSH));
}

// Runs the steps on a thread of their own, which starts without COM.
void OnThreadWithoutCom(const std::function<void()>& steps) {
    std::thread thread(steps);
    thread.join();
}

// What COM answers for the model other than held: S_OK once the thread's
// apartment has ended, RPC_E_CHANGED_MODE while the thread still has it.
HRESULT OtherModelResult(DWORD held) {
    const win32::ComInitialization other(held == COINIT_MULTITHREADED ? COINIT_APARTMENTTHREADED
                                                                      : COINIT_MULTITHREADED);
    return other.Result();
}

TEST(ComInitialization, EndsTheApartmentItBegan) {
    OnThreadWithoutCom([] {
        {
            const win32::ComInitialization com(COINIT_APARTMENTTHREADED);
            EXPECT_EQ(com.Result(), S_OK);
        }
        EXPECT_EQ(OtherModelResult(COINIT_APARTMENTTHREADED), S_OK);
    });
}

TEST(ComInitialization, AScopeInsideAnotherOfTheSameModelEndsOnlyItsOwnPart) {
    OnThreadWithoutCom([] {
        {
            const win32::ComInitialization outer(COINIT_MULTITHREADED);
            {
                const win32::ComInitialization inner(COINIT_MULTITHREADED);
                EXPECT_EQ(inner.Result(), S_FALSE);
            }
            EXPECT_EQ(OtherModelResult(COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        }
        EXPECT_EQ(OtherModelResult(COINIT_MULTITHREADED), S_OK);
    });
}

TEST(ComInitialization, AFailedOneLeavesTheThreadsApartmentAlone) {
    OnThreadWithoutCom([] {
        const win32::ComInitialization apartment(COINIT_APARTMENTTHREADED);
        {
            const win32::ComInitialization refused(COINIT_MULTITHREADED);
            EXPECT_EQ(refused.Result(), RPC_E_CHANGED_MODE);
        }
        EXPECT_EQ(OtherModelResult(COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    });
}

}  // namespace
}  // namespace quarn
