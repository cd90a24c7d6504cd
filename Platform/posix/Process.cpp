#include "Platform/Process.h"

#include "Platform/CodePage.h"
#include "Platform/ErrorLines.h"
#include "Platform/posix/OwnedHandle.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

class TSpawnActions {
public:
    TSpawnActions() { posix_spawn_file_actions_init(&FActions); }
    TSpawnActions(const TSpawnActions&) = delete;
    TSpawnActions& operator=(const TSpawnActions&) = delete;
    ~TSpawnActions() { posix_spawn_file_actions_destroy(&FActions); }
    posix_spawn_file_actions_t* Get() { return &FActions; }

private:
    posix_spawn_file_actions_t FActions;
};

class TSpawnAttributes {
public:
    TSpawnAttributes() { posix_spawnattr_init(&FAttributes); }
    TSpawnAttributes(const TSpawnAttributes&) = delete;
    TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;
    ~TSpawnAttributes() { posix_spawnattr_destroy(&FAttributes); }
    posix_spawnattr_t* Get() { return &FAttributes; }

private:
    posix_spawnattr_t FAttributes;
};

// The child's error stream: its first and last lines are kept for its reason, the rest is read and
// dropped, so that a child with much to say never blocks on a full pipe.
class TErrorStream {
public:
    TErrorStream() {
        int ends[2];
        // Without a pipe the converter still runs; only its reason is lost.
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            FRead.Reset(ends[0]);
            FWrite.Reset(ends[1]);
            ::fcntl(FRead.Get(), F_SETFL, O_NONBLOCK);
        }
    }

    int ReadEnd() const { return FRead.Get(); }
    int WriteEnd() const { return FWrite.Get(); }
    // After the start: only the child writes.
    void CloseWriteEnd() { FWrite.Reset(); }

    // Reads what is there now, without waiting. At the end of the stream the read end closes.
    void Drain() {
        char buffer[4096];
        while (FRead) {
            const ssize_t count = ::read(FRead.Get(), buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return; // nothing more for now (EAGAIN), or a broken pipe: keep what we have
            if (count == 0) {
                FRead.Reset();
                return;
            }
            FLines.Keep(std::string_view(buffer, static_cast<std::size_t>(count)));
        }
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines = FLines.Lines();
        for (std::string& line : lines)
            line = UnicodeToAnsi(ReplaceControlChars(AnsiToUnicode(line)));
        return lines;
    }

private:
    TOwnedHandle FRead;
    TOwnedHandle FWrite;
    TErrorLines FLines;
};

// The child gets no stdin or stdout of the host's, writes its messages to errors, inherits no other
// descriptor, starts with default signal handling and leads a process group of its own, so that a
// time-out ends it together with anything it started.
// Returns the child's pid, or 0 with errno's value in error.
pid_t Start(const std::string& program, std::vector<std::string> args, const TErrorStream& errors,
            int& error) {
    TSpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (errors.WriteEnd() >= 0)
        posix_spawn_file_actions_adddup2(actions.Get(), errors.WriteEnd(), STDERR_FILENO);
    else
        posix_spawn_file_actions_adddup2(actions.Get(), STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(actions.Get(), STDERR_FILENO + 1);

    TSpawnAttributes attributes;
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(attributes.Get(), &signals);
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(attributes.Get(), &signals);
    posix_spawnattr_setpgroup(attributes.Get(), 0);
    posix_spawnattr_setflags(attributes.Get(),
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    error = posix_spawnp(&pid, program.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
    return error == 0 ? pid : 0;
}

// Waits for the child, reading its error stream meanwhile, and stores its wait status; false when the
// time limit passed first.
bool WaitFor(pid_t pid, TickClock::time_point deadline, int& status, TErrorStream& errors) {
    // Through syscall: glibc's <sys/pidfd.h> of this release lacks C linkage for C++.
    const TOwnedHandle pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            if (done != pid)
                status = -1; // reaped elsewhere (SIGCHLD ignored): the outcome is unknown
            // What it wrote before it ended; a helper it left behind may hold the stream open, so
            // nothing is waited for.
            errors.Drain();
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TickClock::now());
        if (left.count() <= 0)
            return false;
        // Kernels before 5.3 have no process descriptors: then look again shortly.
        pollfd ready[2] = {{errors.ReadEnd(), POLLIN, 0}, {pidfd.Get(), POLLIN, 0}};
        const auto wait = pidfd.Get() >= 0 ? std::min<std::int64_t>(left.count(), 60'000)
                                           : std::min<std::int64_t>(left.count(), 10);
        poll(ready, 2, static_cast<int>(wait));
        if (ready[0].revents != 0)
            errors.Drain();
    }
}

void Kill(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// How a process that ended came out of it. One that failed with its output file at its limit was ended
// by it: its next write beyond the limit raised SIGXFSZ (or failed, in a program that ignores the
// signal). One whose file is past the limit wrote it before the limit was set on it (see LimitChild):
// its text is too large all the same.
TChildProcess::TEnd EndOf(int status, const TOutputLimit& output) {
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    struct stat file {};
    if (output.Bytes != 0 && ::stat(output.Path.c_str(), &file) == 0) {
        const auto size = static_cast<std::uint64_t>(file.st_size);
        if (size > output.Bytes || (!succeeded && size == output.Bytes))
            return TChildProcess::TEnd::OutputFull;
    }
    return succeeded ? TChildProcess::TEnd::Succeeded : TChildProcess::TEnd::Failed;
}

// posix_spawn has no resource limits of its own: they are set on the child as soon as posix_spawn
// returns, which a program that does its work at once may beat (EndOf still sees its output's size).
// False, with the reason, when one cannot be set.
bool LimitChild(pid_t pid, std::uint64_t memoryLimit, const TOutputLimit& output, std::string& reason) {
    const struct {
        __rlimit_resource resource;
        std::uint64_t bytes;
        const char* what;
    } limits[] = {{RLIMIT_AS, memoryLimit, "memory"}, {RLIMIT_FSIZE, output.Bytes, "output"}};
    for (const auto& limit : limits) {
        const rlimit value{static_cast<rlim_t>(limit.bytes), static_cast<rlim_t>(limit.bytes)};
        if (limit.bytes != 0 && prlimit(pid, limit.resource, &value, nullptr) != 0) {
            reason = std::string("cannot limit the program's ") + limit.what + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

struct TChildProcess::TImpl {
    TErrorStream errors;
    TOutputLimit output;
    pid_t pid = 0;
    bool finished = false;
    TEnd end = TEnd::Failed;
};

TChildProcess::TChildProcess(std::unique_ptr<TImpl> impl) : FImpl(std::move(impl)) {}

std::unique_ptr<TChildProcess> TChildProcess::Start(const std::string& program,
                                                    const std::vector<std::string>& args,
                                                    TProcessStartError& error, std::uint64_t memoryLimit,
                                                    TOutputLimit outputLimit) {
    auto impl = std::make_unique<TImpl>();
    impl->output = std::move(outputLimit);
    int code = 0;
    impl->pid = ::Start(program, args, impl->errors, code);
    if (impl->pid == 0) {
        error.NotFound = code == ENOENT;
        error.Reason = std::strerror(code);
        return nullptr;
    }
    impl->errors.CloseWriteEnd();
    const pid_t pid = impl->pid;
    std::unique_ptr<TChildProcess> child(new TChildProcess(std::move(impl)));
    // A child that cannot be limited is ended rather than run unbounded.
    if (!LimitChild(pid, memoryLimit, child->FImpl->output, error.Reason))
        return nullptr;
    return child;
}

TChildProcess::~TChildProcess() {
    if (!FImpl->finished)
        Kill(FImpl->pid);
}

TChildProcess::TEnd TChildProcess::Wait(TickClock::time_point deadline) {
    if (FImpl->finished)
        return FImpl->end;
    int status = 0;
    if (!WaitFor(FImpl->pid, deadline, status, FImpl->errors)) {
        Kill(FImpl->pid);
        FImpl->errors.Drain();
        FImpl->end = TEnd::TimedOut;
    } else {
        FImpl->end = EndOf(status, FImpl->output);
    }
    FImpl->finished = true;
    return FImpl->end;
}

std::vector<std::string> TChildProcess::ErrorLines() const {
    return FImpl->errors.Lines();
}
