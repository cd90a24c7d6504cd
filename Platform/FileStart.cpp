// The first bytes of a file, read the same way on every system: the standard library takes the UTF-8
// path as such (on Windows through the wide calls).
#include "Platform/FileSystem.h"

#include <filesystem>
#include <fstream>

std::optional<std::string> ReadFileStart(const std::string& path, std::size_t count) {
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string head(count, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (file.bad())
        return std::nullopt;
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}
