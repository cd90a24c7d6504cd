// What one request of THTTPSend carries between the network steps, the same for both systems' clients;
// included only by them and by the part they share (HttpClient.cpp).
#pragma once

#include "Platform/HttpClient.h"

#include <functional>

struct THTTPSend::TTransfer {
    // Takes the next piece of the body; false stops the transfer (the sink says why in its own state).
    std::function<bool(const char* data, std::size_t size)> sink;
    // Download: a response other than 2xx ends the request before its body (WinHTTP's client reads the
    // status before the body; libcurl's refuses in its sink).
    bool successOnly = false;
    std::uint64_t sizeLimit = 0;
    std::uint64_t received = 0;
    bool tooLarge = false;
    bool sinkStopped = false;
    std::string statusLine;
};

inline bool IsSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}
