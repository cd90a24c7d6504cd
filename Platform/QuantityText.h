// Sizes and durations as the user reads them in messages and in the status bar (UTF-8).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The exact count, with the round figure where there is one: "268435456 bytes (256 MiB)", "1000 bytes".
std::string ByteCountText(std::uint64_t bytes);
// A limit as it is set: "64 MiB", "16 KiB", or "1000 bytes" when it is no whole number of either.
std::string RoundSizeText(std::uint64_t bytes);
// A size at a glance, one decimal from a kilobyte on: "517 bytes", "12.3 KB", "1.2 MB" (1 KB = 1024 bytes).
std::string ApproximateSizeText(std::uint64_t bytes);
// "10 minutes", "1 second", "1500 ms": whole minutes or seconds when the duration is one.
std::string DurationText(std::chrono::milliseconds duration);
