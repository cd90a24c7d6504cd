// The part of the download client that is the same on every system: the body's way to its sink under the
// size limit, the in-memory request, and the reasons for the limits and for a refused status.
#include "Platform/HttpClient.h"

#include "Platform/HttpTransfer.h"
#include "Platform/QuantityText.h"

#include <algorithm>
#include <new>

// Returns the count taken: a shorter one stops the transfer (libcurl aborts on it).
std::size_t THTTPSend::OnBody(char* data, std::size_t size, std::size_t count, void* target) {
    auto& transfer = *static_cast<TTransfer*>(target);
    const std::size_t bytes = size * count;
    if (bytes > transfer.sizeLimit - std::min(transfer.received, transfer.sizeLimit)) {
        transfer.tooLarge = true;
        return 0;
    }
    // An exception must not cross libcurl's C frames.
    try {
        if (!transfer.sink(data, bytes)) {
            transfer.sinkStopped = true;
            return 0;
        }
    } catch (const std::bad_alloc&) {
        transfer.sinkStopped = true;
        return 0;
    }
    transfer.received += bytes;
    return bytes;
}

bool THTTPSend::HTTPMethod(const std::string& method, const std::string& url) {
    document_.clear();
    TTransfer transfer;
    transfer.sink = [this](const char* data, std::size_t size) {
        document_.append(data, size);
        return true;
    };
    return Perform(method, url, transfer) == TDownloadResult::Done;
}

TDownloadResult THTTPSend::ExplainLimit(TDownloadResult result) {
    switch (result) {
    case TDownloadResult::TooLarge:
        errorText_ = "the file is larger than the download limit of " + ByteCountText(sizeLimit_);
        break;
    case TDownloadResult::TimedOut:
        errorText_ = "the download took longer than the limit of " + DurationText(timeLimit_);
        break;
    case TDownloadResult::Cancelled:
        errorText_ = "the download was cancelled by the user";
        break;
    default:
        break;
    }
    return result;
}

TDownloadResult THTTPSend::RefuseStatus() {
    errorText_ = !statusLine_.empty() ? statusLine_ : "HTTP status " + std::to_string(resultCode_);
    return TDownloadResult::HttpError;
}
