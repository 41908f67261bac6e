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

}  // namespace quarn::win32
