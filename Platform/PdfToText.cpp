#include "Platform/PdfToText.h"
#include "Platform/FileHandle.h"
#include "Platform/TickCount.h"

#include "PluginAPI/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// COM's codes for a server whose class is unknown and for one that failed to start: the codes the
// automation server's creation fails with on Windows.
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);
constexpr const char* DefaultProgram = "pdftotext";

class TSpawnActions {
public:
    TSpawnActions() { posix_spawn_file_actions_init(&actions_); }
    TSpawnActions(const TSpawnActions&) = delete;
    TSpawnActions& operator=(const TSpawnActions&) = delete;
    ~TSpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class TSpawnAttributes {
public:
    TSpawnAttributes() { posix_spawnattr_init(&attributes_); }
    TSpawnAttributes(const TSpawnAttributes&) = delete;
    TSpawnAttributes& operator=(const TSpawnAttributes&) = delete;
    ~TSpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    posix_spawnattr_t* Get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

// pdftotext would read a path that starts with '-' as an option.
std::string AsArgument(const std::string& path) {
    return path.starts_with('-') ? "./" + path : path;
}

[[noreturn]] void RaiseCannotStart(const std::string& program, int error) {
    if (error == ENOENT) {
        const UnicodeString hint = program == DefaultProgram ? u" (install poppler-utils)" : u"";
        throw EOleSysError(Format(u"Cannot start the PDF converter \"%s\": program not found%s",
                                  Utf8ToString(program), hint),
                           CO_E_CLASSSTRING, 0);
    }
    throw EOleSysError(Format(u"Cannot start the PDF converter \"%s\": %s", Utf8ToString(program),
                              Utf8ToString(std::strerror(error))),
                       CO_E_SERVER_EXEC_FAILURE, 0);
}

// The child gets no stdin or stdout of the host's, discards its messages, inherits no other descriptor,
// starts with default signal handling and leads a process group of its own, so that a time-out ends it
// together with anything it started.
pid_t Start(const std::string& program, std::vector<std::string> args) {
    TSpawnActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
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
    const int error =
        posix_spawnp(&pid, program.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
    if (error != 0)
        RaiseCannotStart(program, error);
    return pid;
}

// Waits for the child and stores its wait status; false when the time limit passed first.
bool WaitFor(pid_t pid, std::chrono::milliseconds timeLimit, int& status) {
    const auto deadline = TickClock::now() + timeLimit;
    // Through syscall: glibc's <sys/pidfd.h> of this release lacks C linkage for C++.
    const TFileHandle pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return true;
        if (done < 0 && errno != EINTR) {
            status = -1; // reaped elsewhere (SIGCHLD ignored): the outcome is unknown
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TickClock::now());
        if (left.count() <= 0)
            return false;
        if (pidfd.Get() >= 0) {
            pollfd ready{pidfd.Get(), POLLIN, 0};
            poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 60'000)));
        } else {
            // Kernels before 5.3 have no process descriptors: look again shortly.
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
}

void Kill(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

std::string PdfToTextProgram() {
    const char* program = std::getenv(PdfToTextVariable);
    return program != nullptr && *program != '\0' ? program : DefaultProgram;
}

TPdfConversion ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                std::chrono::milliseconds timeLimit) {
    return ConvertPdfToText(pdfPath, txtPath, timeLimit, PdfToTextProgram());
}

TPdfConversion ConvertPdfToText(const std::string& pdfPath, const std::string& txtPath,
                                std::chrono::milliseconds timeLimit, const std::string& program) {
    // Layout mode writes a table's row as one line, as Acrobat's plain text does, so the run's per-line
    // work and progress follow the list's rows. The mode comes last: a stand-in converter still finds
    // the two paths first.
    const pid_t pid = Start(program, {program, AsArgument(pdfPath), AsArgument(txtPath), "-layout"});
    int status = 0;
    if (!WaitFor(pid, timeLimit, status)) {
        Kill(pid);
        std::remove(txtPath.c_str()); // a killed converter leaves a cut text behind
        return TPdfConversion::TimedOut;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? TPdfConversion::Converted : TPdfConversion::Failed;
}
