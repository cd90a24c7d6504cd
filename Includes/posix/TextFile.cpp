// Reading a text file on Linux: writers are shut out as far as this system allows.
#include "Includes/TextFile.h"

#include "Platform/FileHandle.h"
#include "PluginAPI/SysUtils.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

UnicodeString ErrorText(int error) {
    return Utf8ToString(std::strerror(error));
}

[[noreturn]] void RaiseOpenError(const std::string& path, int error) {
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", Utf8ToString(path), ErrorText(error)));
}

} // namespace

std::string TextFileDetail::ReadFileShared(const std::string& path) {
    TFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        RaiseOpenError(path, errno);
    // A shared lock conflicts with a writer's exclusive lock, though locks bind only those who take them.
    if (::flock(file.Get(), LOCK_SH | LOCK_NB) != 0)
        RaiseOpenError(path, errno);
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(Format(u"Cannot read file \"%s\". %s", Utf8ToString(path), ErrorText(errno)));
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}
