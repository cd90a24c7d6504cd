// An owned POSIX file descriptor, closed when it goes. On Windows the file layer, which raises the class
// library's exceptions, is Includes/win32/FileHandle.h.
#pragma once

#if !defined(_WIN32)

#include <unistd.h>

#include <utility>

class TFileHandle {
public:
    explicit TFileHandle(int fd = -1) : fd_(fd) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    TFileHandle(TFileHandle&& other) noexcept : fd_(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = other.Release();
        }
        return *this;
    }
    ~TFileHandle() { Close(); }

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Closes now and gives close's result, so that a late write error it reports is not lost; 0 when
    // nothing is open.
    int Close() { return fd_ < 0 ? 0 : ::close(std::exchange(fd_, -1)); }
    // Gives the descriptor up to the caller, who closes it.
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

#endif
