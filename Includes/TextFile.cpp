#include "Includes/TextFile.h"

#include "Includes/TextEncoding.h"
#include "PluginAPI/SysUtils.h"

#include <string_view>

namespace {

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
    return DecodeTextLines(TextFileDetail::ReadFileShared(path));
}
