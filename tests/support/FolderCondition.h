// A folder of the test's own made read-only or nearly full for one scope, as a user's download folder
// can be. Root writes into any folder whatever its permissions, so for root a read-only folder is the
// folder bound read-only onto itself; a nearly full folder is a small tmpfs mounted over it. Mounting
// needs root; where it is not allowed, Make returns nothing and says why, and the test skips that case.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <utility>

class FolderCondition {
public:
    enum class Kind { ReadOnly, NearlyFull };

    // For one case of a table: the condition, or nothing once a note says that the case is skipped here
    // and why.
    static std::unique_ptr<FolderCondition> ForCase(const std::string& caseName, Kind kind,
                                                    const std::filesystem::path& folder) {
        std::string why;
        std::unique_ptr<FolderCondition> condition = Make(kind, folder, why);
        if (!condition)
            std::cout << "[ SKIPPED  ] " << caseName << ": " << why << std::endl;
        return condition;
    }

    // For NearlyFull, bytes is the size of the file system mounted over the folder.
    static std::unique_ptr<FolderCondition> Make(Kind kind, const std::filesystem::path& folder,
                                                 std::string& why, std::uint64_t bytes = 1 << 20) {
        std::unique_ptr<FolderCondition> condition(new FolderCondition(folder));
        if (kind == Kind::ReadOnly && ::geteuid() != 0) {
            std::filesystem::permissions(folder, std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::owner_exec);
            condition->restorePermissions_ = true;
            return condition;
        }
        const std::string path = folder.string();
        const bool mounted =
            kind == Kind::ReadOnly
                ? ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0
                : ::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
        if (!mounted) {
            why = "cannot mount over " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        condition->mounted_ = true;
        if (kind == Kind::ReadOnly &&
            ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            why = "cannot make " + path + " read-only: " + std::strerror(errno);
            return nullptr;
        }
        return condition;
    }

    ~FolderCondition() {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
        if (restorePermissions_)
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    }
    FolderCondition(const FolderCondition&) = delete;
    FolderCondition& operator=(const FolderCondition&) = delete;

private:
    explicit FolderCondition(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::filesystem::path folder_;
    bool mounted_ = false;
    bool restorePermissions_ = false;
};
