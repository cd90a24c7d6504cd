// The part of the download client that is the same on every system: the request loop, which keeps the
// time limit, the progress reports, the cancel, the size limit and the check for a cut body while the
// system's transport takes the network steps; the in-memory request; the reasons for the limits and for
// a refused status.
#include "Platform/HttpClient.h"

#include "Platform/HttpTransfer.h"
#include "Platform/QuantityText.h"

#include <algorithm>

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

// The time limit and the progress reports of one request: between the transport's waits the loop asks
// whether to go on, and the waits end in time for the next report and the deadline.
class THTTPSend::TRequestPace {
public:
    TRequestPace(std::chrono::milliseconds limit, const TDownloadProgress& progress)
        : FProgress(progress), FDeadline(Clock::now() + limit), FNextReport(Clock::now()) {}

    // TimedOut past the time limit, Cancelled when the progress callback says stop, Done to go on.
    // The first call reports at once.
    TDownloadResult Check(std::uint64_t received) {
        const auto now = Clock::now();
        if (now >= FDeadline)
            return TDownloadResult::TimedOut;
        if (FProgress && now >= FNextReport) {
            FNextReport = now + DownloadProgressInterval;
            if (!FProgress(received))
                return TDownloadResult::Cancelled;
        }
        return TDownloadResult::Done;
    }

    // How long the transport may wait before the next check.
    std::chrono::milliseconds Wait() const {
        const auto now = Clock::now();
        Clock::duration wait = std::min<Clock::duration>(DownloadProgressInterval, FDeadline - now);
        if (FProgress)
            wait = std::min(wait, FNextReport - now);
        return std::max(std::chrono::ceil<std::chrono::milliseconds>(wait), std::chrono::milliseconds(0));
    }

    // Runs a transport step until it no longer waits: Done when it is ready, Failed when the transport
    // failed, or the limit that stopped it.
    template <class TStep> TDownloadResult Await(std::uint64_t received, TStep step) {
        for (;;) {
            if (const TDownloadResult stop = Check(received); stop != TDownloadResult::Done)
                return stop;
            switch (step(Wait())) {
            case TTransportStep::Ready:
                return TDownloadResult::Done;
            case TTransportStep::Failed:
                return TDownloadResult::Failed;
            case TTransportStep::Waiting:
                break;
            }
        }
    }

private:
    const TDownloadProgress& FProgress;
    const Clock::time_point FDeadline;
    Clock::time_point FNextReport;
};

TDownloadResult THTTPSend::Perform(const std::string& method, const std::string& url, TTransfer& transfer) {
    FResultCode = 0;
    FStatusLine.clear();
    FLastModified.reset();
    FErrorText.clear();
    const std::unique_ptr<THttpTransport> transport = OpenTransport(method, url);
    if (!transport)
        return TDownloadResult::Failed;
    const TDownloadResult result = Exchange(*transport, method, transfer);
    THttpHead head = transport->Head();
    FResultCode = head.status;
    FStatusLine = std::move(head.statusLine);
    FLastModified = head.lastModified;
    // A sink that stopped the transfer has its own reason, and a cut body the loop's; the caller gives it.
    if (result == TDownloadResult::Failed && FErrorText.empty() && !transfer.sinkStopped)
        FErrorText = transport->Reason();
    return ExplainLimit(result);
}

TDownloadResult THTTPSend::Exchange(THttpTransport& transport, const std::string& method,
                                    TTransfer& transfer) {
    TRequestPace pace(FTimeLimit, FProgress);
    if (const TDownloadResult sent = pace.Await(0, [&](auto wait) { return transport.AwaitHead(wait); });
        sent != TDownloadResult::Done)
        return sent;
    const THttpHead head = transport.Head();
    if (transfer.successOnly && !IsSuccessStatus(head.status))
        return TDownloadResult::Done; // the caller's HttpError; its body is no download
    // A body announced larger than the limit is refused before its first byte.
    const bool hasBody = method != "HEAD" && head.status >= 200 && head.status != 204 && head.status != 304;
    const std::optional<std::uint64_t> announced = hasBody ? head.announced : std::nullopt;
    if (announced && *announced > FSizeLimit)
        return TDownloadResult::TooLarge;
    return ReadBody(transport, pace, announced, transfer);
}

TDownloadResult THTTPSend::ReadBody(THttpTransport& transport, TRequestPace& pace,
                                    std::optional<std::uint64_t> announced, TTransfer& transfer) {
    for (;;) {
        std::string_view chunk;
        if (const TDownloadResult read =
                pace.Await(transfer.received, [&](auto wait) { return transport.AwaitChunk(wait, chunk); });
            read != TDownloadResult::Done)
            return read;
        if (chunk.empty())
            break;
        if (chunk.size() > FSizeLimit - std::min(transfer.received, FSizeLimit))
            return TDownloadResult::TooLarge;
        if (!transfer.sink(chunk.data(), chunk.size())) {
            transfer.sinkStopped = true;
            return TDownloadResult::Failed;
        }
        transfer.received += chunk.size();
    }
    // A library may end a body whose connection closed early as if it were whole (WinHTTP does).
    if (announced && transfer.received < *announced) {
        FErrorText = "the server closed the connection after " + std::to_string(transfer.received) +
                     " of the " + std::to_string(*announced) + " bytes it announced";
        return TDownloadResult::Failed;
    }
    return TDownloadResult::Done;
}

bool THTTPSend::HTTPMethod(const std::string& method, const std::string& url) {
    FDocument.clear();
    TTransfer transfer;
    transfer.sink = [this](const char* data, std::size_t size) {
        FDocument.append(data, size);
        return true;
    };
    return Perform(method, url, transfer) == TDownloadResult::Done;
}

TDownloadResult THTTPSend::ExplainLimit(TDownloadResult result) {
    switch (result) {
    case TDownloadResult::TooLarge:
        FErrorText = "the file is larger than the download limit of " + ByteCountText(FSizeLimit);
        break;
    case TDownloadResult::TimedOut:
        FErrorText = "the download took longer than the limit of " + DurationText(FTimeLimit);
        break;
    case TDownloadResult::Cancelled:
        FErrorText = "the download was cancelled by the user";
        break;
    default:
        break;
    }
    return result;
}

TDownloadResult THTTPSend::RefuseStatus() {
    FErrorText = !FStatusLine.empty() ? FStatusLine : "HTTP status " + std::to_string(FResultCode);
    return TDownloadResult::HttpError;
}
