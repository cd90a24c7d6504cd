// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

class TempDir {
public:
    TempDir() {
        // A name nobody holds: creating the folder is the test, so two programs never share one.
        std::random_device random;
        for (int attempt = 0; FPath.empty(); ++attempt) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("zarbex-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                FPath = candidate;
            else if (attempt == 100)
                throw std::runtime_error("cannot create a temporary folder");
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The path of a file in the folder.
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};
