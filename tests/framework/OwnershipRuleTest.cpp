// Interface references in the plug-in's code are held by ComPtr: a hand-written AddRef or Release
// outside the smart pointer is a reference that an early return or an exception can leak or drop twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// Whether the line calls AddRef or Release on an object or pointer: "->Release(", ". AddRef (" and
// the like. (std::regex draws warnings from GCC 12 under the sanitizers.)
bool CallsAddRefOrRelease(std::string_view line) {
    for (std::string_view name : {"AddRef", "Release"}) {
        for (auto at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
            auto before = at;
            while (before > 0 && line[before - 1] == ' ')
                --before;
            const bool member = (before >= 1 && line[before - 1] == '.') ||
                                (before >= 2 && line.substr(before - 2, 2) == "->");
            auto after = at + name.size();
            while (after < line.size() && line[after] == ' ')
                ++after;
            if (member && after < line.size() && line[after] == '(')
                return true;
        }
    }
    return false;
}

} // namespace

TEST(OwnershipRule, NoHandWrittenAddRefOrReleaseOutsideComPtr) {
    const fs::path root = ZARBEX_SOURCE_DIR;
    std::string found;
    int files = 0;
    for (const char* folder : {"PluginAPI", "Plugins", "Includes"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h"))
                continue;
            if (entry.path() == root / "PluginAPI" / "ComPtr.h")
                continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number)
                if (CallsAddRefOrRelease(line))
                    found += fs::relative(entry.path(), root).string() + ":" + std::to_string(number) + ": " +
                             line + "\n";
        }
    }
    EXPECT_GT(files, 10) << "the plug-in's sources were not found under " << root;
    EXPECT_EQ(found, "");
}
