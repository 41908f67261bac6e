#pragma once

// Owners for Win32 handles, one per kind of handle, in the manner of WIL's
// unique_hkey: the handle is released exactly once, on every path.

#include <windows.h>

#include <utility>

namespace quarn::win32 {

template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const { return handle_; }
    // For functions that hand out a handle through a pointer.
    Type* put() {
        reset();
        return &handle_;
    }
    // Gives the handle up; the caller now owns it.
    [[nodiscard]] Type release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Type handle = Traits::Invalid()) {
        if (Traits::IsValid(handle_)) {
            Traits::Release(handle_);
        }
        handle_ = handle;
    }
    explicit operator bool() const { return Traits::IsValid(handle_); }

  private:
    Type handle_ = Traits::Invalid();
};

// Each kind says which value means "no handle" (what an empty owner holds)
// and which values a call can hand back for a failure.
template <typename Handle>
struct NullMeansEmpty {
    using Type = Handle;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type handle) { return handle != nullptr; }
};

struct RegistryKeyTraits : NullMeansEmpty<HKEY> {
    static void Release(Type key) { ::RegCloseKey(key); }
};
// Process, thread, token, mutex and event handles: null when absent.
struct KernelHandleTraits : NullMeansEmpty<HANDLE> {
    static void Release(Type handle) { ::CloseHandle(handle); }
};
// File and snapshot handles: CreateFileW and CreateToolhelp32Snapshot fail
// with INVALID_HANDLE_VALUE, but a null handle is no handle either.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Release(Type handle) { ::CloseHandle(handle); }
};
struct LocalMemoryTraits : NullMeansEmpty<HLOCAL> {
    static void Release(Type memory) { ::LocalFree(memory); }
};
struct LibraryTraits : NullMeansEmpty<HMODULE> {
    static void Release(Type module) { ::FreeLibrary(module); }
};

// SIDs from AllocateAndInitializeSid.
struct SidTraits : NullMeansEmpty<PSID> {
    static void Release(Type sid) { ::FreeSid(sid); }
};

struct ServiceHandleTraits : NullMeansEmpty<SC_HANDLE> {
    static void Release(Type handle) { ::CloseServiceHandle(handle); }
};

using unique_hkey = UniqueHandle<RegistryKeyTraits>;
// Service control manager and service handles.
using unique_service = UniqueHandle<ServiceHandleTraits>;
using unique_handle = UniqueHandle<KernelHandleTraits>;
using unique_file = UniqueHandle<FileHandleTraits>;
using unique_hlocal = UniqueHandle<LocalMemoryTraits>;
using unique_hmodule = UniqueHandle<LibraryTraits>;
using unique_sid = UniqueHandle<SidTraits>;
// A CreateToolhelp32Snapshot snapshot, which fails as CreateFileW does.
using unique_toolhelp_snapshot = UniqueHandle<FileHandleTraits>;

// Both handles that CreateProcessW and its kin hand out, the process's and
// its first thread's, closed together.
class unique_process_information {
  public:
    unique_process_information() = default;
    unique_process_information(unique_process_information&& other) noexcept
        : information_(std::exchange(other.information_, {})) {}
    unique_process_information& operator=(unique_process_information&& other) noexcept {
        reset();
        information_ = std::exchange(other.information_, {});
        return *this;
    }
    unique_process_information(const unique_process_information&) = delete;
    unique_process_information& operator=(const unique_process_information&) = delete;
    ~unique_process_information() { reset(); }

    // For the call that starts the process; whatever was held is closed first.
    PROCESS_INFORMATION* put() {
        reset();
        return &information_;
    }
    HANDLE process() const { return information_.hProcess; }
    HANDLE thread() const { return information_.hThread; }
    DWORD process_id() const { return information_.dwProcessId; }
    // Keeps only the process: its handle goes to an owner of its own, the
    // thread's is closed.
    [[nodiscard]] unique_handle take_process() {
        unique_handle process(std::exchange(information_.hProcess, nullptr));
        reset();
        return process;
    }
    void reset() {
        const unique_handle thread(information_.hThread);
        const unique_handle process(information_.hProcess);
        information_ = {};
    }
    explicit operator bool() const { return information_.hProcess != nullptr; }

  private:
    PROCESS_INFORMATION information_{};
};

}  // namespace quarn::win32
