#pragma once

// The owner of a buffer the network management functions allocated.

#include <windows.h>

// After windows.h, which it needs.
#include <lm.h>

namespace quarn::win32 {

class NetBuffer {
  public:
    using FreeFunction = NET_API_STATUS(WINAPI*)(LPVOID);
    explicit NetBuffer(FreeFunction release = ::NetApiBufferFree) : release_(release) {}
    NetBuffer(const NetBuffer&) = delete;
    NetBuffer& operator=(const NetBuffer&) = delete;
    ~NetBuffer() { Free(); }
    LPBYTE* put() {
        Free();
        return &buffer_;
    }
    LPBYTE get() const { return buffer_; }
    NET_API_STATUS Free() {
        const NET_API_STATUS status = buffer_ != nullptr ? release_(buffer_) : NERR_Success;
        buffer_ = nullptr;
        return status;
    }

  private:
    FreeFunction release_;
    LPBYTE buffer_ = nullptr;
};

}  // namespace quarn::win32
