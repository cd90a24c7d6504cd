// Reading a plain-text file line by line, whatever the converter wrote: UTF-8 or UTF-16 with a byte-order
// mark, or the system ANSI code page without one. The path is UTF-8. The file is read and decoded piece
// by piece, so a text of any length costs no more memory than its longest line.
#pragma once

#include "Includes/TextEncoding.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace TextFileDetail {
// The system's part (posix/, win32/): the file opened for reading with other writers shut out, read
// from its start. Raises EFOpenError when the file cannot be opened or another process holds it locked
// for writing, EInOutError when reading fails.
class TSharedFile {
public:
    explicit TSharedFile(const std::string& path);
    TSharedFile(const TSharedFile&) = delete;
    TSharedFile& operator=(const TSharedFile&) = delete;
    ~TSharedFile();
    // Up to size bytes from the current position; 0 at the end of the file.
    std::size_t Read(char* buffer, std::size_t size);
    // Back to the first byte.
    void Rewind();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};
} // namespace TextFileDetail

// The lines of a text file without their line ends. Lines end at CR, LF or CR LF; a line end at the very
// end adds no empty line; the first U+0000 ends the text. The byte-order mark (EF BB BF, FF FE, FE FF,
// tested in that order) picks the encoding and is not part of the text. Raises as TSharedFile does.
class TTextLineReader {
public:
    static constexpr std::size_t DefaultPieceSize = 64 * 1024;
    // pieceSize: the bytes read from the file at a time.
    explicit TTextLineReader(const std::string& path, std::size_t pieceSize = DefaultPieceSize);
    TTextLineReader(const TTextLineReader&) = delete;
    TTextLineReader& operator=(const TTextLineReader&) = delete;
    ~TTextLineReader();

    // The next line; false after the last one.
    bool ReadLine(std::u16string& line);
    // Reads the text to its end, counting its lines, and starts again at its first line.
    std::size_t CountLines();

private:
    void Start();
    // Decodes the next piece of the text; false when the text has ended.
    bool DecodeNext();
    bool ReadPiece();

    TextFileDetail::TSharedFile FFile;
    std::size_t FPieceSize;
    std::string FBytes;   // read from the file, not yet decoded: at most a piece and a part of a character
    std::u16string FText; // decoded, not yet given out
    std::size_t FAt = 0;  // the first code unit of FText not yet given out
    TTextEncoding FEncoding = TTextEncoding::Ansi;
    bool FFileEnded = false, FTextEnded = false;
    bool FAfterCR = false; // the last line ended at a CR: an LF right after it belongs to that line end
};

// Every line of the file, read as TTextLineReader reads them.
std::vector<std::u16string> ReadTextLines(const std::string& path);
