// The fingerprint that recognises the archive of the last update: a file's size and CRC-32.
#include "Includes/FileFingerprint.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(FileFingerprintTest, SizeAndCrc32OfTheFileAndTheirTextRoundTrip) {
    TempDir temp;
    const struct {
        const char* name;
        std::string bytes;
        TFileFingerprint expected;
    } cases[] = {
        {"empty", "", {0, 0}},
        {"check value", "123456789", {9, 0xCBF43926}}, // the CRC-32 standard's check value
        {"longer than one read",
         std::string((1 << 16) + 3, 'a'),
         {(1 << 16) + 3, 0x1DABDC90}}, // Python's zlib
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = temp.Path() / c.name;
        WriteFile(path, c.bytes);
        const std::optional<TFileFingerprint> read = FileFingerprint(path.string());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->Size, c.expected.Size);
        EXPECT_EQ(read->Crc32, c.expected.Crc32);
        EXPECT_EQ(TFileFingerprint::Parse(read->Text()), read);
    }
    EXPECT_EQ((TFileFingerprint{9, 0xCBF43926}.Text()), "9 CBF43926");
    EXPECT_EQ(FileFingerprint((temp.Path() / "missing").string()), std::nullopt);
    for (const char* text : {"", "9", "9 CBF4392", "9 CBF43926 x", "x CBF43926", "-9 CBF43926"})
        EXPECT_EQ(TFileFingerprint::Parse(text), std::nullopt) << text;
}

} // namespace
