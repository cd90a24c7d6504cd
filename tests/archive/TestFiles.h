// Real files and real programs for the archive tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    ~TTempDir();

    const std::filesystem::path& Path() const { return path_; }
    // The path of name inside the folder, as UTF-8.
    std::string operator/(const std::string& name) const;

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Runs a program found in PATH with args (args[0] is the program), without a shell, in folder cwd when
// given, with its output discarded; returns its exit status, or -1 when it did not exit normally.
int RunProgram(const std::vector<std::string>& args, const std::string& cwd = {});
