#include "TestServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

struct Pipe {
    Pipe() : Pipe(Open()) {}
    TOwnedHandle read;
    TOwnedHandle write;

private:
    struct Ends {
        int read, write;
    };
    explicit Pipe(Ends ends) : read(ends.read), write(ends.write) {}
    static Ends Open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        return {fds[0], fds[1]};
    }
};

} // namespace

TestServer::TestServer(const std::filesystem::path& root, const std::optional<Tls>& tls)
    : tls_(tls.has_value()) {
    // Requests must go straight to the server whatever proxy the developer's environment names.
    ::setenv("no_proxy", "127.0.0.1", 1);
    ::setenv("NO_PROXY", "127.0.0.1", 1);

    std::vector<std::string> args{PYTHON3_EXECUTABLE, TEST_SERVER_SCRIPT, "--root", root.string()};
    if (tls) {
        args.insert(args.end(), {"--cert", tls->certificate.string(), "--key", tls->key.string()});
    }
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    // The server stops when its stdin ends, so it goes with this process even when a test crashes.
    Pipe input, output;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output.write.Get(), STDOUT_FILENO);
    const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + args[0]);
    input.read.Close();
    output.write.Close();
    stdin_ = std::move(input.write);

    // The first line the server prints is its port.
    std::string line;
    char c;
    while (::read(output.read.Get(), &c, 1) == 1 && c != '\n')
        line.push_back(c);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error("the test server did not start");
    }
}

TestServer::~TestServer() {
    Stop();
}

void TestServer::Stop() {
    stdin_.Close();
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
}

std::string TestServer::Url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

ClosedPort::ClosedPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!socket_ || ::bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot reserve a port");
    port_ = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() = default;

std::string ClosedPort::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}
