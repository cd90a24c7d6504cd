#include "Platform/QuantityText.h"

#include <gtest/gtest.h>

namespace {

// The status bar's figure is truncated to a tenth, so it never shows more than arrived.
TEST(QuantityText, SizesAtAGlanceExactlyAndAsLimits) {
    const struct {
        std::uint64_t bytes;
        const char* approximate;
        const char* exact;
        const char* round;
    } cases[] = {
        {0, "0 bytes", "0 bytes", "0 bytes"},
        {1, "1 byte", "1 byte", "1 byte"},
        {1023, "1023 bytes", "1023 bytes", "1023 bytes"},
        {1024, "1.0 KB", "1024 bytes", "1 KiB"},
        {12'697, "12.3 KB", "12697 bytes", "12697 bytes"},
        {1'048'575, "1023.9 KB", "1048575 bytes", "1048575 bytes"},
        {1'258'292, "1.2 MB", "1258292 bytes", "1258292 bytes"},
        {std::uint64_t{256} << 20, "256.0 MB", "268435456 bytes (256 MiB)", "256 MiB"},
        {std::uint64_t{3} << 30, "3.0 GB", "3221225472 bytes (3072 MiB)", "3072 MiB"},
        {UINT64_MAX, "16777215.9 TB", "18446744073709551615 bytes", "18446744073709551615 bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApproximateSizeText(c.bytes), c.approximate) << c.bytes;
        EXPECT_EQ(ByteCountText(c.bytes), c.exact) << c.bytes;
        EXPECT_EQ(RoundSizeText(c.bytes), c.round) << c.bytes;
    }
}

TEST(QuantityText, DurationsInWholeUnitsWhereTheyAreWhole) {
    using std::chrono::milliseconds;
    EXPECT_EQ(DurationText(std::chrono::minutes(10)), "10 minutes");
    EXPECT_EQ(DurationText(std::chrono::minutes(1)), "1 minute");
    EXPECT_EQ(DurationText(std::chrono::seconds(90)), "90 seconds");
    EXPECT_EQ(DurationText(std::chrono::seconds(1)), "1 second");
    EXPECT_EQ(DurationText(milliseconds(1500)), "1500 ms");
    EXPECT_EQ(DurationText(milliseconds(0)), "0 seconds");
}

} // namespace
