#include "Includes/IniFiles.h"

#include "Includes/TextEncoding.h"
#include "Includes/uCommFunc.h"
#include "Platform/FileSystem.h"

#include <string_view>
#include <vector>

namespace IniFileDetail {

// Lines keep their original bytes so that every line this store does not change is written back
// exactly as it was read, whatever its encoding flaws.
struct TLine {
    std::string Raw;             // the line's bytes, line end included
    std::size_t ContentSize = 0; // bytes before the line end
    UnicodeString Text;          // the decoded content
};

struct TContent {
    TTextEncoding Encoding = TTextEncoding::Ansi;
    std::string Bom;
    std::string LineEnd; // encoded; the file's own, used for the lines this store adds
    std::vector<TLine> Lines;
};

} // namespace IniFileDetail

namespace {

using IniFileDetail::TContent;
using IniFileDetail::TLine;

// --- Text

bool Contains(std::u16string_view text, std::u16string_view characters) {
    return text.find_first_of(characters) != std::u16string_view::npos;
}

// In the blocks [first, last] capitals and small letters alternate, the capital first.
char16_t PairedUpper(char16_t c, char16_t first, char16_t last) {
    return c >= first && c <= last && (c - first) % 2 == 1 ? c - 1 : c;
}

// Windows matches section and key names without regard to case. This covers the scripts a settings
// file is likely to hold names in: Latin (with Latin-1 and Extended-A), Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? c - 0x20 : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F))
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c == 0x3C2)
        return 0x3A3; // final sigma
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    c = PairedUpper(c, 0x100, 0x12F);
    c = PairedUpper(c, 0x132, 0x137);
    c = PairedUpper(c, 0x139, 0x148);
    c = PairedUpper(c, 0x14A, 0x177);
    c = PairedUpper(c, 0x179, 0x17E);
    c = PairedUpper(c, 0x460, 0x481);
    c = PairedUpper(c, 0x48A, 0x4BF);
    c = PairedUpper(c, 0x4C1, 0x4CE);
    return PairedUpper(c, 0x4D0, 0x52F);
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

// --- Lines

enum class TLineKind { Blank, Comment, Section, Key, Other };

struct TParsedLine {
    TLineKind Kind = TLineKind::Other;
    std::u16string_view Name;   // of a section or key, trimmed
    std::size_t ValueStart = 0; // index in the text just after the key's '='
};

TParsedLine Parse(std::u16string_view text) {
    const auto trimmed = Trim(text);
    if (trimmed.empty())
        return {TLineKind::Blank, {}, 0};
    if (trimmed.front() == u';' || trimmed.front() == u'#')
        return {TLineKind::Comment, {}, 0};
    if (trimmed.front() == u'[') {
        const auto inner = trimmed.substr(1);
        return {TLineKind::Section, Trim(inner.substr(0, inner.find(u']'))), 0};
    }
    const auto equals = text.find(u'=');
    if (equals == std::u16string_view::npos || Trim(text.substr(0, equals)).empty())
        return {TLineKind::Other, {}, 0};
    return {TLineKind::Key, Trim(text.substr(0, equals)), equals + 1};
}

struct TLocation {
    std::ptrdiff_t Section = -1; // the section's header line
    std::ptrdiff_t Key = -1;
    std::ptrdiff_t LastEntry = -1; // the section's last line that is neither blank nor a comment
    std::size_t ValueStart = 0;
};

// Like Windows, only the first section of a name counts, and the first key of a name in it.
TLocation Locate(const std::vector<TLine>& lines, std::u16string_view section, std::u16string_view key) {
    TLocation found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TParsedLine line = Parse(lines[i].Text);
        const auto index = static_cast<std::ptrdiff_t>(i);
        if (line.Kind == TLineKind::Section) {
            if (found.Section >= 0)
                break;
            if (SameName(line.Name, section))
                found.Section = found.LastEntry = index;
            continue;
        }
        if (found.Section < 0 || line.Kind == TLineKind::Blank || line.Kind == TLineKind::Comment)
            continue;
        found.LastEntry = index;
        if (line.Kind == TLineKind::Key && found.Key < 0 && SameName(line.Name, key)) {
            found.Key = index;
            found.ValueStart = line.ValueStart;
        }
    }
    return found;
}

// --- Content

TContent ParseFile(const std::string& bytes) {
    TContent content;
    std::string_view body = bytes;
    const TByteOrderMark mark = ReadByteOrderMark(body);
    content.Encoding = mark.Encoding;
    content.Bom = body.substr(0, mark.Size);
    body.remove_prefix(mark.Size);

    // Lines end at LF, optionally preceded by CR.
    const std::size_t unit = CodeUnitSize(content.Encoding);
    std::size_t start = 0;
    for (std::size_t i = 0; i + unit <= body.size(); i += unit) {
        if (CodeUnitAt(body, i, content.Encoding) != u'\n')
            continue;
        std::size_t contentEnd = i;
        if (contentEnd - start >= unit && CodeUnitAt(body, contentEnd - unit, content.Encoding) == u'\r')
            contentEnd -= unit;
        const auto raw = body.substr(start, i + unit - start);
        content.Lines.push_back({std::string(raw), contentEnd - start,
                                 DecodeText(raw.substr(0, contentEnd - start), content.Encoding)});
        if (content.LineEnd.empty())
            content.LineEnd = raw.substr(contentEnd - start);
        start = i + unit;
    }
    if (start < body.size()) {
        const auto raw = body.substr(start);
        content.Lines.push_back({std::string(raw), raw.size(), DecodeText(raw, content.Encoding)});
    }
    if (content.LineEnd.empty())
        content.LineEnd = EncodeText(u"\r\n", content.Encoding);
    return content;
}

// Adds a line before index; the line before it gets a line end if it lacked one (the file's last).
void InsertLine(TContent& content, std::size_t index, const UnicodeString& text) {
    if (index > 0) {
        TLine& previous = content.Lines[index - 1];
        if (previous.Raw.size() == previous.ContentSize)
            previous.Raw += content.LineEnd;
    }
    std::string raw = EncodeText(text, content.Encoding);
    const std::size_t size = raw.size();
    content.Lines.insert(content.Lines.begin() + static_cast<std::ptrdiff_t>(index),
                         TLine{raw + content.LineEnd, size, text});
}

// Replaces the value of a key line. The key and the blanks around its '=' stay as they were; the old
// value, trailing blanks included, gives way to the new one.
void ReplaceValue(TLine& line, std::u16string_view value, TTextEncoding encoding) {
    // '=' and the blanks are single code units in every encoding here, so the first '=' unit is
    // the one the text was parsed at.
    const std::size_t unit = CodeUnitSize(encoding);
    std::size_t offset = 0;
    while (CodeUnitAt(line.Raw, offset, encoding) != u'=')
        offset += unit;
    offset += unit;
    while (offset + unit <= line.ContentSize && IsTrimmed(CodeUnitAt(line.Raw, offset, encoding)))
        offset += unit;
    const std::string lineEnd = line.Raw.substr(line.ContentSize);
    line.Raw = line.Raw.substr(0, offset) + EncodeText(value, encoding);
    line.ContentSize = line.Raw.size();
    line.Text = DecodeText(line.Raw, encoding);
    line.Raw += lineEnd;
}

// Names and values that would read back differently, or break the lines around them.
void CheckEntry(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    const auto trimmedKey = Trim(key);
    const bool badKey = trimmedKey.empty() || Contains(key, u"\r\n=") || trimmedKey.front() == u';' ||
                        trimmedKey.front() == u'#' || trimmedKey.front() == u'[';
    if (Contains(section, u"\r\n]") || badKey || Contains(value, u"\r\n"))
        throw EArgumentException(Format(u"Invalid settings entry \"%s\" in section \"%s\"",
                                        UnicodeString(key), UnicodeString(section)));
}

// Text the file's encoding cannot hold: a character outside the ANSI code page (Cyrillic in a Western
// Windows' file without a mark), or a lone surrogate in UTF-8.
void CheckEncodable(std::u16string_view section, std::u16string_view key, std::u16string_view value,
                    TTextEncoding encoding) {
    const auto survives = [encoding](std::u16string_view text) {
        return DecodeText(EncodeText(text, encoding), encoding) == text;
    };
    if (!survives(section) || !survives(key) || !survives(value))
        throw EArgumentException(Format(u"The settings entry \"%s\" in section \"%s\" holds characters "
                                        u"that the encoding of the file cannot hold",
                                        UnicodeString(key), UnicodeString(section)));
}

} // namespace

void IniFileDetail::RaiseReadOnly(const UnicodeString& fileName) {
    throw EFCreateError(Format(u"Cannot write file \"%s\": the file is read-only", fileName));
}

TIniFile::TIniFile(std::u16string path) : FFileName(std::move(path)), FNativePath(StringToUtf8(FFileName)) {}

TIniFile::~TIniFile() = default;

UnicodeString TIniFile::ReadString(const UnicodeString& section, const UnicodeString& key,
                                   const UnicodeString& defaultValue) {
    const auto& lines = Content().Lines;
    const TLocation found = Locate(lines, section, key);
    if (found.Key < 0)
        return defaultValue;
    return UnicodeString(Trim(std::u16string_view(lines[found.Key].Text).substr(found.ValueStart)));
}

void TIniFile::WriteString(const UnicodeString& section, const UnicodeString& key,
                           const UnicodeString& value) {
    CheckEntry(section, key, value);
    // Changed on a copy, so that a failed write leaves this store as it was, like the file.
    TContent changed = Content();
    CheckEncodable(section, key, value, changed.Encoding);
    const TLocation found = Locate(changed.Lines, section, key);
    if (found.Key >= 0) {
        ReplaceValue(changed.Lines[found.Key], value, changed.Encoding);
    } else if (found.Section >= 0) {
        // After the section's last entry: blank lines and comments that follow it usually belong to
        // the next section.
        InsertLine(changed, static_cast<std::size_t>(found.LastEntry) + 1, key + u"=" + value);
    } else {
        InsertLine(changed, changed.Lines.size(), u"[" + section + u"]");
        InsertLine(changed, changed.Lines.size(), key + u"=" + value);
    }
    Save(changed);
    *FContent = std::move(changed);
}

void TIniFile::BeforeReplace(const std::string&) {}

TContent& TIniFile::Content() {
    if (!FContent) {
        // A missing file reads as empty; the first write creates it.
        const std::optional<std::string> bytes = IniFileDetail::ReadFileBytes(FNativePath, FFileName);
        FContent = std::make_unique<TContent>(ParseFile(bytes.value_or(std::string())));
    }
    return *FContent;
}

// The host's own file must never be left half written: see ReplaceFileBytes.
void TIniFile::Save(const TContent& content) {
    std::string bytes = content.Bom;
    for (const TLine& line : content.Lines)
        bytes += line.Raw;
    IniFileDetail::ReplaceFileBytes(FNativePath, FFileName, bytes,
                                    [this](const std::string& tempPath) { BeforeReplace(tempPath); });
}

UnicodeString ResolveIniPath(const UnicodeString& iniPath, const UnicodeString& executablePath) {
    // The extension starts at the last '.' of the file name; a name without one gets it appended.
    const auto withIniExtension = [](UnicodeString path) {
        const auto dot = path.rfind(u'.');
        const auto delimiter = path.find_last_of(PathDelimiters);
        if (dot != UnicodeString::npos && (delimiter == UnicodeString::npos || dot > delimiter))
            path.resize(dot);
        return path + u".ini";
    };
    if (iniPath.empty())
        return withIniExtension(executablePath);
    if (iniPath.find_first_of(PathDelimiters) != UnicodeString::npos)
        return iniPath;
    const auto slash = executablePath.find_last_of(PathDelimiters);
    const UnicodeString folder =
        slash == UnicodeString::npos ? UnicodeString() : executablePath.substr(0, slash + 1);
    return folder + withIniExtension(iniPath);
}
