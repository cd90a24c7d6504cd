// Whole files as bytes, for the tests that make their inputs and read what the code wrote; on every
// system, wide names included. A file that cannot be read or written fails the test naming it, rather
// than passing for an empty one.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A path as UTF-8, for messages and comparisons whatever the system's narrow code page.
inline std::string PathUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the test file " + PathUtf8(path));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write the test file " + PathUtf8(path));
}

// The names of what a folder holds, in UTF-8, sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(PathUtf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}
