// The HTTP client the plug-in downloads with, standing in for Synapse's THTTPSend: one request at a
// time, the response body kept in memory. Built on libcurl with its defaults: redirects are not
// followed, every HTTP status is a result, certificates are verified, and the proxy comes from the
// environment only. Nothing of ours is added to a request.
#pragma once

#include <chrono>
#include <memory>
#include <string>

class THTTPSend {
public:
    THTTPSend();
    ~THTTPSend();
    THTTPSend(const THTTPSend&) = delete;
    THTTPSend& operator=(const THTTPSend&) = delete;

    // Sends the request to the address as given and reads the response. True when a complete response
    // arrived, whatever its status; false when the client could not connect, send, or read the whole
    // response (a body cut short, a broken chunked stream, a stalled transfer, a rejected certificate).
    bool HTTPMethod(const std::string& method, const std::string& url);

    // The body of the last response; after a failure, whatever arrived before it.
    const std::string& Document() const { return document_; }
    // The HTTP status of the last response, 0 when none arrived.
    long ResultCode() const { return resultCode_; }
    // Why the last request failed, for diagnosis; empty after a success.
    const std::string& ErrorText() const { return errorText_; }

    // The calls run on the host's GUI thread, so neither connecting nor a silent transfer may block it
    // for long: a connection must be made within the connect time-out, and a transfer that moves no
    // byte for the stall time-out fails.
    void SetConnectTimeout(std::chrono::seconds timeout) { connectTimeout_ = timeout; }
    void SetStallTimeout(std::chrono::seconds timeout) { stallTimeout_ = timeout; }

private:
    // libcurl's easy handle, an opaque pointer in its interface.
    struct EasyDeleter {
        void operator()(void* handle) const;
    };

    std::unique_ptr<void, EasyDeleter> handle_;
    std::string document_;
    long resultCode_ = 0;
    std::string errorText_;
    std::chrono::seconds connectTimeout_{30};
    std::chrono::seconds stallTimeout_{60};
};
