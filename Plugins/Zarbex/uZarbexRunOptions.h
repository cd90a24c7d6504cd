// The update run's limits: how long a download may wait and take, how long one list may take to
// convert, and how many lists convert at a time. The defaults are Platform's and the converter's own
// limits; the environment may set the converters; tests shorten the times.
#pragma once

#include <chrono>
#include <cstddef>

struct TRunOptions {
    // The download's wait for a connection and for the next byte, and its time as a whole.
    std::chrono::seconds ConnectTimeout;
    std::chrono::seconds StallTimeout;
    std::chrono::milliseconds DownloadTime;
    // One list's conversion to text.
    std::chrono::milliseconds ConversionTime;
    // How many entries are extracted and converting at a time: one per processor and at least two, so
    // that one converts ahead while another is read; the value of ZARBEX_CONVERTERS when it is set
    // (1: one entry after the other).
    std::size_t ConvertersAtATime;

    static constexpr const char* ConvertersVariable = "ZARBEX_CONVERTERS";

    // The limits as they stand now: the defaults, with the environment's converters.
    static TRunOptions FromEnvironment();
};
