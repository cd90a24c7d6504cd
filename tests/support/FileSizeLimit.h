// A full disk as this process sees it: files may grow to a small size for one scope, and a write past it
// fails (SIGXFSZ is ignored meanwhile). The old limit and signal handling come back at the scope's end.
#pragma once

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        if (getrlimit(RLIMIT_FSIZE, &old_) != 0)
            throw std::runtime_error("cannot read the file size limit");
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
            std::signal(SIGXFSZ, oldSignal_);
            throw std::runtime_error("cannot set the file size limit");
        }
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};
