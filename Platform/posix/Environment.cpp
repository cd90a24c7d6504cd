#include "Platform/Environment.h"

#include <cstdlib>
#include <filesystem>

std::string GetEnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ExecutableFile() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}
