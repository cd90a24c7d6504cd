#include "Platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/statvfs.h>

bool IsFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DeleteFileQuietly(const std::string& path) {
    return !path.empty() && std::remove(path.c_str()) == 0;
}

bool RenameFileReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool CreateParentFolders(const std::string& path) {
    // Each folder from the top down; one that is there already is fine.
    for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder) {
    struct statvfs space {};
    if (::statvfs(folder.c_str(), &space) != 0)
        return std::nullopt;
    return std::uint64_t{space.f_bavail} * space.f_frsize;
}

std::optional<std::int64_t> FileModifiedTime(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtime);
}
