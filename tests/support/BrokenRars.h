// RAR 5 archives damaged in their main header, as a broken writer or a bad copy leaves them: the bytes
// of an archive rar made, changed in place.
#pragma once

#include "tests/support/RarNames.h"

#include <cstddef>
#include <string>

// The main header (the first block behind the signature) made a block of another type, its CRC right
// again: the library takes the file for an archive and finds no entry in it.
inline bool SpoilMainHeaderType(std::string& archive) {
    std::size_t at = 12; // behind the signature and the header's CRC
    if (archive.size() < at + 2)
        return false;
    const std::size_t headerSize = static_cast<std::size_t>(RarNamesDetail::VarInt(archive, at));
    if (archive[at] != '\x01' || at + headerSize > archive.size())
        return false;
    archive[at] = '\x03'; // a service header's type
    const std::uint32_t crc = RarNamesDetail::Crc32(archive.substr(12, at - 12 + headerSize));
    for (int i = 0; i < 4; ++i)
        archive[8 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
    return true;
}

// The main header's size made 2 MiB, past the end of the file, which still ends with its end-of-archive
// block: a header that points past the end of a whole file.
inline bool StretchMainHeaderPastTheEnd(std::string& archive) {
    std::size_t at = 12;
    if (archive.size() < at + 2 || archive.size() >= (std::size_t{1} << 21))
        return false;
    const std::size_t start = at;
    RarNamesDetail::VarInt(archive, at);
    archive.replace(start, at - start, "\xFF\xFF\x7F");
    return true;
}
