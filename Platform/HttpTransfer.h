// The request loop's side of THTTPSend's two halves: what one request carries between the network steps,
// and the steps a system's network library supplies to the loop in HttpClient.cpp. Included only by the
// loop and by each system's transport (posix/HttpClient.cpp: libcurl, win32/HttpClient.cpp: WinHTTP).
#pragma once

#include "Platform/HttpClient.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct THTTPSend::TTransfer {
    // Takes the next piece of the body; false stops the transfer (the sink says why in its own state).
    std::function<bool(const char* data, std::size_t size)> sink;
    // Download: a response other than 2xx ends the request before its body.
    bool successOnly = false;
    std::uint64_t received = 0;
    bool sinkStopped = false;
};

// Where a transport's step stands when its wait is over.
enum class TTransportStep {
    Waiting, // not yet: the loop keeps its limits and asks again
    Ready,   // the step is done
    Failed,  // the request cannot go on; Reason says why
};

// What has arrived of a response before its body.
struct THttpHead {
    long status = 0;                          // 0 until known
    std::string statusLine;                   // without its line end; control characters shown as U+FFFD
    std::optional<std::uint64_t> announced;   // a valid Content-Length
    std::optional<std::int64_t> lastModified; // Last-Modified as a date, seconds since 1970 UTC
};

// One request on a system's network library, started by THTTPSend::OpenTransport and closed when it goes
// (an unfinished transfer is abandoned). No step waits longer than it is told, so that the loop, not the
// library, keeps the time limit, reports progress and cancels; connect and stall time-outs are the
// library's, set when the request opens.
class THttpTransport {
public:
    virtual ~THttpTransport() = default;

    // Sends the request and waits for the status and headers of the response.
    virtual TTransportStep AwaitHead(std::chrono::milliseconds wait) = 0;
    // The status and headers as far as they arrived, also after a failure.
    virtual THttpHead Head() const = 0;
    // Waits for the next piece of the body: Ready with an empty chunk at its end. The piece stays valid
    // until the next call.
    virtual TTransportStep AwaitChunk(std::chrono::milliseconds wait, std::string_view& chunk) = 0;
    // Why a step failed, in the library's or the system's words, on one line.
    virtual std::string Reason() const = 0;
};

inline bool IsSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}
