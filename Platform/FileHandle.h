// An owned POSIX file descriptor, closed when it goes.
#pragma once

#include <unistd.h>

class TFileHandle {
public:
    explicit TFileHandle(int fd) : fd_(fd) {}
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }
    // Closes now and returns close's result, so that a late write error it reports is not lost.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};
