// Reading a plain-text file into lines, whatever the converter wrote: UTF-8 or UTF-16 with a byte-order
// mark, or the system ANSI code page without one. The path is UTF-8.
#pragma once

#include <string>
#include <vector>

// Returns the file's lines without their line ends. Lines end at CR, LF or CR LF; a line end at the very
// end adds no empty line; the first U+0000 ends the text. The byte-order mark (EF BB BF, FF FE, FE FF,
// tested in that order) picks the encoding and is not part of the text. Raises EFOpenError when the file
// cannot be opened or another process holds it locked for writing, EInOutError when reading fails.
std::vector<std::u16string> ReadTextLines(const std::string& path);

namespace TextFileDetail {
// The system's part (posix/, win32/): the whole file, read with other writers shut out; raises as
// ReadTextLines does.
std::string ReadFileShared(const std::string& path);
} // namespace TextFileDetail
