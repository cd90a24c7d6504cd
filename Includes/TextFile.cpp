#include "Includes/TextFile.h"

#include "Includes/TextEncoding.h"
#include "Platform/CodePage.h"
#include "Platform/FileHandle.h"
#include "PluginAPI/SysUtils.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

namespace {

UnicodeString ErrorText(int error) {
    return Utf8ToString(std::strerror(error));
}

[[noreturn]] void RaiseOpenError(const std::string& path, int error) {
    throw EFOpenError(Format(u"Cannot open file \"%s\". %s", Utf8ToString(path), ErrorText(error)));
}

std::string ReadAll(const std::string& path) {
    TFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        RaiseOpenError(path, errno);
    // Writers are shut out as far as this platform allows: a shared lock conflicts with a writer's
    // exclusive lock, though locks bind only those who take them.
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

UnicodeString Decode(std::string_view bytes) {
    const TByteOrderMark mark = ReadByteOrderMark(bytes);
    return DecodeText(bytes.substr(mark.Size), mark.Encoding);
}

std::vector<std::u16string> DecodeTextLines(std::string_view bytes) {
    UnicodeString text = Decode(bytes);
    if (const auto end = text.find(u'\0'); end != UnicodeString::npos)
        text.resize(end);

    std::vector<std::u16string> lines;
    const std::u16string_view view(text);
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < view.size()) {
        const char16_t c = view[i];
        if (c != u'\r' && c != u'\n') {
            ++i;
            continue;
        }
        lines.emplace_back(view.substr(start, i - start));
        i += (c == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n') ? 2 : 1;
        start = i;
    }
    if (start < view.size())
        lines.emplace_back(view.substr(start));
    return lines;
}

} // namespace

std::vector<std::u16string> ReadTextLines(const std::string& path) {
    return DecodeTextLines(ReadAll(path));
}
