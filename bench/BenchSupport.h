// What the benchmarks share: a clock, a line per figure, and a scratch folder that goes with them.
#pragma once

#include "Platform/TickCount.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

using Clock = TickClock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// One figure as a rate; a target of 0 means the figure is for information only.
inline void Report(const char* what, int count, double seconds, double target = 0) {
    const double rate = count / seconds;
    std::printf("%-36s %10.0f /s  (%d in %.3f s", what, rate, count, seconds);
    if (target > 0)
        std::printf("; target >= %.0f /s: %s", target, rate >= target ? "met" : "MISSED");
    std::printf(")\n");
}

// A folder of its own under the system's temporary folder, deleted with everything in it, also when the
// benchmark fails.
struct Folder {
    explicit Folder(const std::string& name)
        : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::filesystem::path path;
};

} // namespace bench
