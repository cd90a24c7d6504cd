// What tells one file from another without keeping it: its size and the CRC-32 of its bytes (the
// checksum of ZIP and RAR), read once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct TFileFingerprint {
    std::uint64_t Size = 0;
    std::uint32_t Crc32 = 0;

    bool operator==(const TFileFingerprint&) const = default;
    // "48213 5D1F9A0B": the size in decimal, the CRC in eight hexadecimal digits.
    std::string Text() const;
    // The fingerprint Text wrote; nothing for any other text.
    static std::optional<TFileFingerprint> Parse(const std::string& text);
};

// The CRC-32 of bytes, continuing from crc (0 to start).
std::uint32_t Crc32(const void* bytes, std::size_t size, std::uint32_t crc = 0);

// The fingerprint of the file at path (UTF-8); nothing when it cannot be read to its end.
std::optional<TFileFingerprint> FileFingerprint(const std::string& path);
