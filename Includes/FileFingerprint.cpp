#include "Includes/FileFingerprint.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// The reflected polynomial 0xEDB88320, one table entry per byte value.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

} // namespace

std::uint32_t Crc32(const void* bytes, std::size_t size, std::uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string TFileFingerprint::Text() const {
    char text[40];
    std::snprintf(text, sizeof text, "%" PRIu64 " %08" PRIX32, Size, Crc32);
    return text;
}

std::optional<TFileFingerprint> TFileFingerprint::Parse(const std::string& text) {
    TFileFingerprint fingerprint;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%" SCNu64 " %8" SCNx32 "%c", &fingerprint.Size, &fingerprint.Crc32,
                    &rest) != 2)
        return std::nullopt;
    return fingerprint.Text() == text ? std::optional(fingerprint) : std::nullopt;
}

std::optional<TFileFingerprint> FileFingerprint(const std::string& path) {
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file)
        return std::nullopt;
    TFileFingerprint fingerprint;
    std::vector<char> buffer(1 << 16);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        fingerprint.Crc32 = Crc32(buffer.data(), got, fingerprint.Crc32);
        fingerprint.Size += got;
    }
    if (!file.eof())
        return std::nullopt;
    return fingerprint;
}
