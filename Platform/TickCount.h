// The one monotonic clock of the tree. GetTickCount gives it the Windows way: milliseconds truncated to
// 32 bits (it wraps after 49.7 days); TickClock is the same clock for deadlines and measured durations.
#pragma once

#include <chrono>
#include <cstdint>

using TickClock = std::chrono::steady_clock;

#if defined(_WIN32)
#include <windows.h> // kernel32's GetTickCount
#else
std::uint32_t GetTickCount();
#endif
