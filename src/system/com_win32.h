#pragma once

// COM for a thread, owners for COM objects, BSTRs and VARIANTs, and the error
// of a failed COM call.

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "system/error.h"

namespace quarn::win32 {

// COM for the calling thread (CoInitializeEx) until the end of the scope, which
// undoes only an initialisation that succeeded. A thread that already has an
// apartment of the other model keeps it: the call fails with
// RPC_E_CHANGED_MODE, COM stays usable, and the end leaves it alone.
class ComInitialization {
  public:
    explicit ComInitialization(DWORD model = COINIT_APARTMENTTHREADED)
        : result_(::CoInitializeEx(nullptr, model)) {}
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    ~ComInitialization() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }

    HRESULT Result() const { return result_; }

  private:
    HRESULT result_;
};

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        reset(std::exchange(other.pointer_, nullptr));
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    // For functions that hand out an interface through a pointer.
    T** put() {
        reset();
        return &pointer_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset(T* pointer = nullptr) {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
        pointer_ = pointer;
    }
    explicit operator bool() const { return pointer_ != nullptr; }

  private:
    T* pointer_ = nullptr;
};

class UniqueBstr {
  public:
    explicit UniqueBstr(const wchar_t* text) : bstr_(::SysAllocString(text)) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { ::SysFreeString(bstr_); }
    BSTR get() const { return bstr_; }

  private:
    BSTR bstr_;
};

class UniqueVariant {
  public:
    UniqueVariant() { ::VariantInit(&variant_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&variant_); }
    VARIANT* put() {
        ::VariantClear(&variant_);
        return &variant_;
    }
    const VARIANT& get() const { return variant_; }
    // For calls that take the value as a non-const source.
    VARIANT* source() { return &variant_; }

  private:
    VARIANT variant_;
};

// Raises Error "<call> failed (0x8004....)" when result is a failure.
void CheckHresult(HRESULT result, const char* call);

}  // namespace quarn::win32
