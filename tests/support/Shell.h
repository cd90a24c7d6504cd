// The standard output of a shell command, for tests that look at the tree with system tools.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

inline std::string Shell(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe.get()))
        out += buffer;
    return out;
}
