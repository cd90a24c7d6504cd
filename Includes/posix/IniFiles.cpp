// The settings file on Linux: read with read(2), replaced by rename(2) over it.
#include "Includes/IniFiles.h"

#include "Platform/posix/OwnedHandle.h"
#include "PluginAPI/ScopeExit.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

UnicodeString ErrorText(int error) {
    return Utf8ToString(std::strerror(error));
}

[[noreturn]] void RaiseOpenError(const UnicodeString& fileName, int error) {
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", fileName, ErrorText(error)));
}

[[noreturn]] void RaiseCreateError(const UnicodeString& fileName, int error) {
    throw EFCreateError(Format(u"Cannot create file \"%s\". %s", fileName, ErrorText(error)));
}

// A file without write permission for its owner is read-only, as with the read-only attribute on
// Windows; permission bits do not stop root, so the bits decide and not access(). A user who is not the
// owner and may not write it is refused as well.
bool IsReadOnly(const std::string& path, const struct stat& status) {
    return (status.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new, exclusively created file beside target; its name is returned in tempPath.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".~%08x", static_cast<unsigned>(random()));
        tempPath = target + suffix;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::optional<std::string> IniFileDetail::ReadFileBytes(const std::string& path,
                                                        const UnicodeString& fileName) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        return std::nullopt;
    if (fd < 0)
        RaiseOpenError(fileName, errno);
    TOwnedHandle file(fd);
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        RaiseOpenError(fileName, errno);
    if (S_ISDIR(status.st_mode))
        RaiseOpenError(fileName, EISDIR);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            RaiseOpenError(fileName, errno);
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

// The new content is synced in its temporary file before the rename, and the rename itself after it.
void IniFileDetail::ReplaceFileBytes(const std::string& path, const UnicodeString& fileName,
                                     const std::string& bytes,
                                     const std::function<void(const std::string& tempPath)>& beforeReplace) {
    if (path.empty())
        RaiseCreateError(fileName, ENOENT);
    // Through a symbolic link the file it points to is replaced, and the link stays.
    std::string target = path;
    struct stat status {};
    if (::lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool existed = ::stat(target.c_str(), &status) == 0;
    // Renaming over the file would need only the folder's permission: a read-only file would be
    // replaced, and would lose its protection.
    if (existed && IsReadOnly(target, status))
        RaiseReadOnly(fileName);

    std::string tempPath;
    const int fd = CreateTempBeside(target, tempPath);
    if (fd < 0)
        RaiseCreateError(fileName, errno);
    TOwnedHandle file(fd);
    // Until it has become the settings file, the temporary file goes when this write does.
    TScopeExit removeTemp([tempPath] { ::unlink(tempPath.c_str()); });
    if (existed) {
        if (::fchmod(file.Get(), status.st_mode & 07777) != 0)
            RaiseCreateError(fileName, errno);
        // Only a privileged writer can hand the file back to its owner; anyone else owns both anyway.
        [[maybe_unused]] const int owned = ::fchown(file.Get(), status.st_uid, status.st_gid);
    }
    for (std::size_t written = 0; written < bytes.size();) {
        const ssize_t count = ::write(file.Get(), bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            RaiseCreateError(fileName, errno);
        written += static_cast<std::size_t>(count);
    }
    if (::fsync(file.Get()) != 0 || !file.Close())
        RaiseCreateError(fileName, errno);

    beforeReplace(tempPath);

    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        RaiseCreateError(fileName, errno);
    removeTemp.Dismiss();
    // Make the rename itself durable; the new content is complete either way.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        TOwnedHandle folderHandle(folder);
        ::fsync(folderHandle.Get());
    }
}
