// Reading a text file on Linux: writers are shut out as far as this system allows.
#include "Includes/TextFile.h"

#include "Platform/posix/OwnedHandle.h"
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

[[noreturn]] void RaiseReadError(const std::string& path, int error) {
    throw EInOutError(Format(u"Cannot read file \"%s\". %s", Utf8ToString(path), ErrorText(error)));
}

} // namespace

struct TextFileDetail::TSharedFile::TImpl {
    std::string path;
    TOwnedHandle file;
};

TextFileDetail::TSharedFile::TSharedFile(const std::string& path)
    : FImpl(std::make_unique<TImpl>(TImpl{path, TOwnedHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC))})) {
    if (!FImpl->file)
        RaiseOpenError(path, errno);
    // A shared lock conflicts with a writer's exclusive lock, though locks bind only those who take them.
    if (::flock(FImpl->file.Get(), LOCK_SH | LOCK_NB) != 0)
        RaiseOpenError(path, errno);
}

TextFileDetail::TSharedFile::~TSharedFile() = default;

std::size_t TextFileDetail::TSharedFile::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(FImpl->file.Get(), buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            RaiseReadError(FImpl->path, errno);
    }
}

void TextFileDetail::TSharedFile::Rewind() {
    if (::lseek(FImpl->file.Get(), 0, SEEK_SET) != 0)
        RaiseReadError(FImpl->path, errno);
}
