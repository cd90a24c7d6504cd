// The HTTP client the plug-in downloads with, standing in for Synapse's THTTPSend: one request at a
// time. Built on libcurl (WinHTTP on Windows) with its defaults: redirects are not followed, certificates
// are verified, and the proxy comes from the environment only (on Windows from WinHTTP's own setting).
// Nothing of ours is added to a request.
//
// Two ways to fetch: HTTPMethod keeps the body in memory and takes every HTTP status as a result;
// Download streams the body into a file as it arrives and succeeds only on a 2xx status. Both run on
// the caller's thread under the same limits: connect time-out, stall time-out, overall time limit and
// size limit, and both call the progress callback regularly while they wait.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class THttpTransport;

// The largest body a download takes: far beyond any real list archive, so that a hostile or broken
// server cannot fill the disk or the memory.
inline constexpr std::uint64_t DownloadSizeLimit = std::uint64_t{256} << 20; // 256 MiB
// How long a whole download may take, however steadily the bytes trickle in.
inline constexpr std::chrono::milliseconds DownloadTimeLimit = std::chrono::minutes(10);
// A connection must be made within this time.
inline constexpr std::chrono::seconds DownloadConnectTimeout{30};
// A transfer that moves less than one byte a second for this long fails.
inline constexpr std::chrono::seconds DownloadStallTimeout{60};
// How often the progress callback is called while a request runs, data or not.
inline constexpr std::chrono::milliseconds DownloadProgressInterval{100};

// Told the body bytes received so far; returns false to cancel the request. It runs on the caller's
// thread between network steps, so it may pump the GUI's events; an exception it raises ends the
// request (a download's file is removed) and goes on to the caller.
using TDownloadProgress = std::function<bool(std::uint64_t received)>;

enum class TDownloadResult {
    Done,      // a 2xx response, its whole body in the file
    HttpError, // the server answered with another status: an error page, a redirect (not followed)
    Failed,    // no complete response (no connection, rejected certificate, cut body, stalled transfer)
               // or the file could not be written
    TooLarge,  // the body is larger than the size limit
    TimedOut,  // the download took longer than the time limit
    Cancelled, // the progress callback asked to stop
};

class THTTPSend {
public:
    THTTPSend();
    ~THTTPSend();
    THTTPSend(const THTTPSend&) = delete;
    THTTPSend& operator=(const THTTPSend&) = delete;

    // Sends the request to the address as given and reads the response into Document. True when a
    // complete response arrived, whatever its status; false when the client could not connect, send,
    // or read the whole response (a body cut short, a broken chunked stream, a stalled transfer, a
    // rejected certificate), or when a limit or the progress callback stopped it.
    bool HTTPMethod(const std::string& method, const std::string& url);

    // GET of url, the body written to the file at path as it arrives (the file is created or
    // emptied first; the caller usually made it with MakeTempFileName). Only a 2xx response is a
    // download: any other status stops the transfer. Whenever the result is not Done, the file at
    // path is removed, so nothing partial stays behind; ErrorText then says why.
    TDownloadResult Download(const std::string& url, const std::string& path);

    // The body of the last HTTPMethod response; after a failure, whatever arrived before it. Download
    // leaves it empty.
    const std::string& Document() const { return FDocument; }
    // The HTTP status of the last response, 0 when none arrived.
    long ResultCode() const { return FResultCode; }
    // The status line of the last response without its line end ("HTTP/1.1 404 Not Found"), empty
    // when none arrived. Control characters are shown as U+FFFD.
    const std::string& StatusLine() const { return FStatusLine; }
    // The last response's Last-Modified, in seconds since 1970 UTC; nothing when it sent none that reads
    // as a date.
    std::optional<std::int64_t> LastModified() const { return FLastModified; }
    // Why the last request failed, in words for the user, on one line (UTF-8, control characters
    // shown as U+FFFD); empty after a success. For a status other than 2xx in Download it is the
    // status line; otherwise the system's reason (libcurl's "Failed to connect to ...", "SSL certificate
    // problem: ..."; on Windows WinHTTP's text), or the limit that stopped the transfer, or the file that
    // could not be written.
    const std::string& ErrorText() const { return FErrorText; }

    // The request runs on the host's GUI thread, so neither connecting nor a silent transfer may block
    // it for long: a connection must be made within the connect time-out, and a transfer that moves no
    // byte for the stall time-out fails.
    void SetConnectTimeout(std::chrono::seconds timeout) { FConnectTimeout = timeout; }
    void SetStallTimeout(std::chrono::seconds timeout) { FStallTimeout = timeout; }
    // The whole request, from its start to the last byte, must end within this time.
    void SetTimeLimit(std::chrono::milliseconds limit) { FTimeLimit = limit; }
    // A body larger than this many bytes stops the transfer.
    void SetSizeLimit(std::uint64_t bytes) { FSizeLimit = bytes; }
    // Called at the start and then about every DownloadProgressInterval until the request ends.
    void SetProgress(TDownloadProgress progress) { FProgress = std::move(progress); }

private:
    // The system's network library between requests (libcurl's easy handle; the WinHTTP session).
    struct TSession;
    struct TTransfer;
    // The time limit and the progress reports of one request (HttpClient.cpp).
    class TRequestPace;

    // Opens the system's transport for one request under the connect and stall time-outs; null, with
    // FErrorText set, when the request cannot start (no library, an address that cannot be read).
    std::unique_ptr<THttpTransport> OpenTransport(const std::string& method, const std::string& url);
    // Runs one request with the body going to transfer's sink; sets FResultCode, FStatusLine and, on
    // failure, FErrorText. Returns the outcome with HttpError never set: statuses are the caller's.
    TDownloadResult Perform(const std::string& method, const std::string& url, TTransfer& transfer);
    // The request loop: the response's head, then its body piece by piece into the sink, under the time
    // limit, the size limit and the progress callback; a body shorter than announced is cut.
    TDownloadResult Exchange(THttpTransport& transport, const std::string& method, TTransfer& transfer);
    TDownloadResult ReadBody(THttpTransport& transport, TRequestPace& pace,
                             std::optional<std::uint64_t> announced, TTransfer& transfer);
    // Sets FErrorText to the reason for a result a limit or the user gave (TooLarge, TimedOut,
    // Cancelled), and returns the result.
    TDownloadResult ExplainLimit(TDownloadResult result);
    // A response whose status is no download (an error page, a redirect): its status line is the reason.
    TDownloadResult RefuseStatus();

    std::unique_ptr<TSession> FSession;
    std::string FDocument;
    long FResultCode = 0;
    std::string FStatusLine;
    std::optional<std::int64_t> FLastModified;
    std::string FErrorText;
    std::chrono::seconds FConnectTimeout = DownloadConnectTimeout;
    std::chrono::seconds FStallTimeout = DownloadStallTimeout;
    std::chrono::milliseconds FTimeLimit = DownloadTimeLimit;
    std::uint64_t FSizeLimit = DownloadSizeLimit;
    TDownloadProgress FProgress;
};
