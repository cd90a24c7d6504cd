#include "Includes/TextFile.h"

#include "PluginAPI/SysUtils.h"

#include <string_view>
#include <utility>

namespace {

// Where a piece of 8-bit text may be cut so that no character is split: after its last byte below 0x40,
// which no multibyte character of UTF-8 or of Windows' double-byte code pages holds; in a piece without
// one, before a UTF-8 character that starts in its last 4 bytes.
std::size_t CutOf8BitText(std::string_view bytes) {
    for (std::size_t i = bytes.size(); i > 0; --i)
        if (static_cast<unsigned char>(bytes[i - 1]) < 0x40)
            return i;
    for (std::size_t i = bytes.size(); i > 0 && bytes.size() - i < 4; --i)
        if ((static_cast<unsigned char>(bytes[i - 1]) & 0xC0) != 0x80)
            return i - 1;
    return bytes.size(); // continuation bytes only: each is a fault of its own
}

std::size_t CutOf(std::string_view bytes, TTextEncoding encoding) {
    return CodeUnitSize(encoding) == 2 ? bytes.size() & ~std::size_t{1} : CutOf8BitText(bytes);
}

} // namespace

TTextLineReader::TTextLineReader(const std::string& path, std::size_t pieceSize)
    : FFile(path), FPieceSize(pieceSize == 0 ? DefaultPieceSize : pieceSize) {
    Start();
}

TTextLineReader::~TTextLineReader() = default;

void TTextLineReader::Start() {
    FBytes.clear();
    FText.clear();
    FAt = 0;
    FFileEnded = FTextEnded = FAfterCR = false;
    // The longest mark is 3 bytes; a shorter file is text.
    while (FBytes.size() < 3 && ReadPiece()) {
    }
    const TByteOrderMark mark = ReadByteOrderMark(FBytes);
    FEncoding = mark.Encoding;
    FBytes.erase(0, mark.Size);
}

bool TTextLineReader::ReadPiece() {
    if (FFileEnded)
        return false;
    const std::size_t had = FBytes.size();
    FBytes.resize(had + FPieceSize);
    const std::size_t read = FFile.Read(FBytes.data() + had, FPieceSize);
    FBytes.resize(had + read);
    FFileEnded = read == 0;
    return !FFileEnded;
}

bool TTextLineReader::DecodeNext() {
    FText.clear();
    FAt = 0;
    while (FText.empty() && !FTextEnded) {
        ReadPiece();
        const std::size_t cut = FFileEnded ? FBytes.size() : CutOf(FBytes, FEncoding);
        FText = DecodeText(std::string_view(FBytes).substr(0, cut), FEncoding);
        FBytes.erase(0, cut);
        if (const std::size_t end = FText.find(u'\0'); end != std::u16string::npos) {
            FText.resize(end);
            FTextEnded = true;
        }
        FTextEnded = FTextEnded || FFileEnded;
    }
    return !FText.empty();
}

bool TTextLineReader::ReadLine(std::u16string& line) {
    line.clear();
    for (;;) {
        if (FAt == FText.size() && !DecodeNext())
            return !line.empty(); // the text ended in a line, or right after a line end
        std::u16string_view rest = std::u16string_view(FText).substr(FAt);
        if (std::exchange(FAfterCR, false) && rest.front() == u'\n') {
            ++FAt;
            continue;
        }
        const std::size_t end = rest.find_first_of(u"\r\n");
        if (end == std::u16string_view::npos) {
            line.append(rest);
            FAt = FText.size();
            continue;
        }
        line.append(rest.substr(0, end));
        FAfterCR = rest[end] == u'\r';
        FAt += end + 1;
        return true;
    }
}

std::size_t TTextLineReader::CountLines() {
    std::size_t count = 0;
    std::u16string line;
    while (ReadLine(line))
        ++count;
    FFile.Rewind();
    Start();
    return count;
}

std::vector<std::u16string> ReadTextLines(const std::string& path) {
    TTextLineReader reader(path);
    std::vector<std::u16string> lines;
    std::u16string line;
    while (reader.ReadLine(line))
        lines.push_back(line);
    return lines;
}
