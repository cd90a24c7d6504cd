// The test HTTP(S) server script, run as a child process on 127.0.0.1 for the life of this object.
#pragma once

#include "Platform/posix/OwnedHandle.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

class TestServer {
public:
    struct Tls {
        std::filesystem::path certificate;
        std::filesystem::path key;
    };

    // Serves the files of root under /files/; with tls, speaks https only.
    explicit TestServer(const std::filesystem::path& root, const std::optional<Tls>& tls = std::nullopt);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // "http://127.0.0.1:PORT" + path, or https when the server speaks TLS.
    std::string Url(const std::string& path) const;

private:
    void Stop();

    pid_t pid_ = -1;
    TOwnedHandle stdin_;
    int port_ = 0;
    bool tls_ = false;
};

// A port on 127.0.0.1 that is bound but never listened on for the life of this object, so connections
// to it are refused and no other program can take it meanwhile.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    std::string Url(const std::string& path) const;

private:
    TOwnedHandle socket_;
    int port_ = 0;
};
