// A child process for the work the host's process must not do itself (CreateProcessW inside a job
// object on Windows): no input or output of ours, its error stream read for what it says, and ended
// together with anything it started when it is killed or when its holder goes.
#pragma once

#include "Platform/TickCount.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Why a program could not be started.
struct TProcessStartError {
    bool NotFound = false; // no such program
    std::string Reason;    // the system's words for it (UTF-8)
};

// The file a process writes its output to and the most bytes it may hold (0: no limit). Past it the
// process is ended: on Linux every write beyond the size fails and ends it (the limit binds every file
// it writes), on Windows its wait watches the file's size.
struct TOutputLimit {
    std::string Path;
    std::uint64_t Bytes = 0;
};

class TChildProcess {
public:
    enum class TEnd {
        Succeeded,  // it exited with success
        Failed,     // it exited with an error, or died
        TimedOut,   // it was still running at the deadline and was killed
        OutputFull, // its output reached its limit and it was ended
    };

    // Starts program (looked up in PATH when it names no folder) with args, args[0] being the program's
    // own name. Null, with error filled in, when it cannot be started. A memoryLimit other than 0 is the
    // most memory the process may take, in bytes (its address space on Linux, its committed memory, by
    // its job, on Windows): past it, its allocations fail.
    static std::unique_ptr<TChildProcess> Start(const std::string& program,
                                                const std::vector<std::string>& args,
                                                TProcessStartError& error, std::uint64_t memoryLimit = 0,
                                                TOutputLimit outputLimit = {});
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;
    // A process still running is killed.
    ~TChildProcess();

    // Waits for the end, reading the error stream meanwhile; at the deadline the process is killed.
    // Only the first call waits; later calls repeat its result.
    TEnd Wait(TickClock::time_point deadline);
    // The lines the process wrote on its error stream, its first and its last ones within TErrorLines'
    // limits, without line ends or empty lines, control characters shown as U+FFFD (UTF-8).
    std::vector<std::string> ErrorLines() const;

private:
    struct TImpl;
    explicit TChildProcess(std::unique_ptr<TImpl> impl);
    std::unique_ptr<TImpl> FImpl;
};
