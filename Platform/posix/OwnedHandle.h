// An owned file descriptor (a file, a folder, a pipe's end, a process's pidfd), closed when it goes. A
// negative descriptor is none: that is what open and its kin return on failure.
#pragma once

#include <unistd.h>

#include <utility>

class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(int fd) : FFd(Valid(fd)) {}
    TOwnedHandle(TOwnedHandle&& other) noexcept : FFd(other.Release()) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    ~TOwnedHandle() { Reset(); }

    int Get() const { return FFd; }
    explicit operator bool() const { return FFd >= 0; }
    // Gives the descriptor up to the caller, who closes it.
    int Release() { return std::exchange(FFd, -1); }
    void Reset(int fd = -1) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = Valid(fd);
    }
    // Closes now and gives close's result, so that a late write error it reports (in errno) is not lost;
    // true when nothing is open.
    bool Close() { return FFd < 0 || ::close(Release()) == 0; }

private:
    static int Valid(int fd) { return fd < 0 ? -1 : fd; }

    int FFd = -1;
};
