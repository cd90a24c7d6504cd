// GetTickCount: milliseconds of a monotonic clock, truncated to 32 bits (it wraps after 49.7 days).
#pragma once

#include <cstdint>

std::uint32_t GetTickCount();
