#include "Includes/TextFile.h"
#include "Platform/FileHandle.h"

#include "Platform/CodePage.h"
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

UnicodeString DecodeUtf16(std::string_view bytes, bool bigEndian) {
    UnicodeString text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    if (bytes.size() % 2 != 0)
        text.push_back(u'\xFFFD'); // half a code unit
    return text;
}

UnicodeString Decode(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return AnsiToUnicode(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeUtf16(bytes.substr(2), true);
    return AnsiToUnicode(bytes);
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
