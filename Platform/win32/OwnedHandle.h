// An owned kernel handle (process, thread, job, pipe, event, file), closed when it goes. The system has
// two values for "no handle", null and INVALID_HANDLE_VALUE, depending on the call: both are taken as none.
#pragma once

#include <windows.h>

#include <utility>

class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(HANDLE handle) : FHandle(Valid(handle)) {}
    TOwnedHandle(TOwnedHandle&& other) noexcept : FHandle(other.Release()) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    ~TOwnedHandle() { Reset(); }

    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    // Gives the handle up to the caller, who closes it.
    HANDLE Release() { return std::exchange(FHandle, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (FHandle != nullptr)
            CloseHandle(FHandle);
        FHandle = Valid(handle);
    }
    // Closes now and gives CloseHandle's result, so that a late write error it reports is not lost;
    // true when nothing is open.
    bool Close() { return FHandle == nullptr || CloseHandle(Release()) != FALSE; }

private:
    static HANDLE Valid(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }

    HANDLE FHandle = nullptr;
};
