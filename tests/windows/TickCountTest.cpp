// GetTickCount is the system's: the millisecond count since start, cut to 32 bits.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(GetTickCount, IsTheSystemMillisecondCountCutTo32Bits) {
    const ULONGLONG wide = GetTickCount64();
    const DWORD narrow = GetTickCount();
    // Read one after the other, so the two may be a few milliseconds apart, but never by a multiple of 2^32.
    EXPECT_LT(static_cast<std::uint32_t>(narrow - static_cast<DWORD>(wide)), 1000u);
    static_assert(sizeof(GetTickCount()) == 4);
}

} // namespace
