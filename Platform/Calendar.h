// Moments as the plug-in shows and keeps them: seconds since 1970-01-01 UTC, and the day they fall on in
// the user's time zone, in ISO form.
#pragma once

#include <cstdint>
#include <string>

// Windows' FILETIME counts 100-nanosecond steps from 1601-01-01 UTC; RAR archives keep their entries'
// times in it on every system.
constexpr std::int64_t UnixTimeOfFileTime(std::uint64_t fileTime) {
    constexpr std::int64_t stepsPerSecond = 10'000'000;
    constexpr std::int64_t secondsFrom1601To1970 = 11'644'473'600;
    return static_cast<std::int64_t>(fileTime / stepsPerSecond) - secondsFrom1601To1970;
}

// The current moment.
std::int64_t UnixTimeNow();
// The local day of the moment: "2025-03-14".
std::string LocalIsoDate(std::int64_t unixTime);
