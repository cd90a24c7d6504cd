// The update run's limits: how long a download may wait and take, how long one list may take to convert
// and how much text it may give, and how many lists convert at a time. The defaults are Platform's and
// the converter's own limits; the environment may set the converters; tests lower the limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

struct TRunOptions {
    // The download's wait for a connection and for the next byte, and its time as a whole.
    std::chrono::seconds ConnectTimeout;
    std::chrono::seconds StallTimeout;
    std::chrono::milliseconds DownloadTime;
    // One list's conversion to text: its time, and how much text it may give.
    std::chrono::milliseconds ConversionTime;
    std::uint64_t ConversionOutputLimit;
    // How many converters work at a time, each on a list ahead of the one being read: one per processor;
    // the value of ZARBEX_CONVERTERS when it is set (1: one converter at a time).
    std::size_t ConvertersAtATime;

    static constexpr const char* ConvertersVariable = "ZARBEX_CONVERTERS";

    // The limits as they stand now: the defaults, with the environment's converters.
    static TRunOptions FromEnvironment();
};
