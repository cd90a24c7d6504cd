// The download client's transport on libcurl: each request a transfer on the multi interface, stepped by the
// request loop of HttpClient.cpp; and the download into a file by its descriptor.
#include "Platform/HttpClient.h"

#include "Platform/CodePage.h"
#include "Platform/HttpTransfer.h"
#include "Platform/posix/OwnedHandle.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <unistd.h>

namespace {

// libcurl's global set-up is not thread-safe and must run before the first handle; it stays for the
// life of the process, like the host's copy of the library.
bool GlobalInit() {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

// Texts from the server or from libcurl end up in the user's report: one line, nothing that steers a
// terminal.
std::string OneLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return UnicodeToAnsi(ReplaceControlChars(AnsiToUnicode(text)));
}

// Removes the file unless the download completed.
class TPartialFileGuard {
public:
    explicit TPartialFileGuard(const std::string& path) : FPath(path) {}
    ~TPartialFileGuard() {
        if (!FKept)
            ::unlink(FPath.c_str());
    }
    TPartialFileGuard(const TPartialFileGuard&) = delete;
    TPartialFileGuard& operator=(const TPartialFileGuard&) = delete;
    void Keep() { FKept = true; }

private:
    const std::string& FPath;
    bool FKept = false;
};

struct TEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

struct TMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// The request's options on the easy handle, libcurl's defaults stated where the callers rely on them.
void SetRequestOptions(CURL* curl, const std::string& method, const std::string& url) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // An HTTP client: other schemes that libcurl knows (file, ftp...) are refused.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (method == "GET")
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    else if (method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    else
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    // libcurl reads the Last-Modified header as a date.
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // The trust store named by CURL_CA_BUNDLE replaces the built-in one, as for the curl tool; libcurl
    // itself does not read that variable.
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle != nullptr && *bundle != '\0')
        curl_easy_setopt(curl, CURLOPT_CAINFO, bundle);
}

void SetTimeouts(CURL* curl, std::chrono::seconds connect, std::chrono::seconds stall) {
    // Time-outs run without signals: the host's process is not ours to send SIGALRM to.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connect.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stall.count()));
}

// One request on libcurl's multi interface, so that the loop, not libcurl, decides how long to wait. The
// easy handle belongs to the multi handle for the transport's life. libcurl hands the body to a callback:
// what one step of the transfer brings is kept until the loop takes it.
class TCurlTransport final : public THttpTransport {
public:
    TCurlTransport(CURL* easy, std::unique_ptr<CURLM, TMultiDeleter> multi)
        : FEasy(easy), FMulti(std::move(multi)) {
        curl_easy_setopt(FEasy, CURLOPT_ERRORBUFFER, FErrorBuffer);
        curl_easy_setopt(FEasy, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(FEasy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(FEasy, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(FEasy, CURLOPT_HEADERDATA, this);
        curl_multi_add_handle(FMulti.get(), FEasy);
    }
    ~TCurlTransport() override {
        curl_multi_remove_handle(FMulti.get(), FEasy);
        // The buffer and the callbacks' target live with this object only.
        curl_easy_setopt(FEasy, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(FEasy, CURLOPT_WRITEDATA, nullptr);
        curl_easy_setopt(FEasy, CURLOPT_HEADERDATA, nullptr);
    }
    TCurlTransport(const TCurlTransport&) = delete;
    TCurlTransport& operator=(const TCurlTransport&) = delete;

    // The head is complete once the body starts or the transfer has ended.
    TTransportStep AwaitHead(std::chrono::milliseconds wait) override {
        if (FHeadDone)
            return TTransportStep::Ready;
        if (FEnded && FResult != CURLE_OK)
            return TTransportStep::Failed;
        return Step(wait);
    }

    THttpHead Head() const override {
        THttpHead head;
        curl_easy_getinfo(FEasy, CURLINFO_RESPONSE_CODE, &head.status);
        head.statusLine = FStatusLine;
        curl_off_t length = -1;
        if (curl_easy_getinfo(FEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0)
            head.announced = static_cast<std::uint64_t>(length);
        curl_off_t modified = -1;
        if (curl_easy_getinfo(FEasy, CURLINFO_FILETIME_T, &modified) == CURLE_OK && modified >= 0)
            head.lastModified = static_cast<std::int64_t>(modified);
        return head;
    }

    TTransportStep AwaitChunk(std::chrono::milliseconds wait, std::string_view& chunk) override {
        FTaken.clear();
        if (FPending.empty() && !FEnded) {
            if (const TTransportStep step = Step(wait); step != TTransportStep::Ready)
                return step;
        }
        if (FPending.empty() && FResult != CURLE_OK)
            return TTransportStep::Failed;
        FTaken.swap(FPending);
        chunk = FTaken;
        return TTransportStep::Ready;
    }

    std::string Reason() const override {
        if (FMultiResult != CURLM_OK)
            return OneLine(curl_multi_strerror(FMultiResult));
        return OneLine(FErrorBuffer[0] != '\0' ? FErrorBuffer : curl_easy_strerror(FResult));
    }

private:
    // One step of the transfer, then a wait for the network if it brought nothing: Ready once there is
    // a piece of the body or the transfer has ended.
    TTransportStep Step(std::chrono::milliseconds wait) {
        int running = 0;
        FMultiResult = curl_multi_perform(FMulti.get(), &running);
        if (FMultiResult != CURLM_OK)
            return TTransportStep::Failed;
        if (running == 0) {
            int left = 0;
            const CURLMsg* message = curl_multi_info_read(FMulti.get(), &left);
            FResult = message != nullptr ? message->data.result : CURLE_OK;
            FEnded = true;
            FHeadDone = FHeadDone || FResult == CURLE_OK;
        }
        if (!FPending.empty() || FEnded)
            return FHeadDone || FResult == CURLE_OK ? TTransportStep::Ready : TTransportStep::Failed;
        curl_multi_poll(FMulti.get(), nullptr, 0, static_cast<int>(wait.count()), nullptr);
        return TTransportStep::Waiting;
    }

    // An exception must not cross libcurl's C frames: a piece that cannot be kept stops the transfer.
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* target) {
        auto& transport = *static_cast<TCurlTransport*>(target);
        try {
            transport.FPending.append(data, size * count);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        transport.FHeadDone = true;
        return size * count;
    }

    // Every response of the exchange (an interim 100, a proxy's answer) starts with its status line; the
    // last one is the response's.
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* target) {
        auto& transport = *static_cast<TCurlTransport*>(target);
        const std::string_view line(data, size * count);
        if (line.starts_with("HTTP/")) {
            try {
                transport.FStatusLine = OneLine(line);
            } catch (const std::bad_alloc&) {
                return 0;
            }
        }
        return size * count;
    }

    CURL* FEasy;
    std::unique_ptr<CURLM, TMultiDeleter> FMulti;
    char FErrorBuffer[CURL_ERROR_SIZE] = {};
    std::string FStatusLine;
    std::string FPending;
    std::string FTaken;
    bool FHeadDone = false;
    bool FEnded = false;
    CURLcode FResult = CURLE_OK;
    CURLMcode FMultiResult = CURLM_OK;
};

} // namespace

struct THTTPSend::TSession {
    std::unique_ptr<CURL, TEasyDeleter> easy;
};

THTTPSend::THTTPSend() : FSession(std::make_unique<TSession>()) {
    if (GlobalInit())
        FSession->easy.reset(curl_easy_init());
}

THTTPSend::~THTTPSend() = default;

std::unique_ptr<THttpTransport> THTTPSend::OpenTransport(const std::string& method, const std::string& url) {
    CURL* curl = FSession->easy.get();
    std::unique_ptr<CURLM, TMultiDeleter> multi(curl != nullptr ? curl_multi_init() : nullptr);
    if (!multi) {
        FErrorText = "libcurl could not be initialised";
        return nullptr;
    }
    curl_easy_reset(curl);
    SetRequestOptions(curl, method, url);
    SetTimeouts(curl, FConnectTimeout, FStallTimeout);
    return std::make_unique<TCurlTransport>(curl, std::move(multi));
}

TDownloadResult THTTPSend::Download(const std::string& url, const std::string& path) {
    FDocument.clear();
    TPartialFileGuard guard(path);
    TOwnedHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file) {
        const int error = errno;
        FResultCode = 0;
        FStatusLine.clear();
        FLastModified.reset();
        FErrorText = OneLine("Cannot create file \"" + path + "\": " + std::strerror(error));
        return TDownloadResult::Failed;
    }

    int writeError = 0;
    TTransfer transfer;
    transfer.successOnly = true;
    transfer.sink = [&](const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t count = ::write(file.Get(), data, size);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0) {
                writeError = errno;
                return false;
            }
            data += count;
            size -= static_cast<std::size_t>(count);
        }
        return true;
    };
    TDownloadResult result = Perform("GET", url, transfer);
    if (result == TDownloadResult::Done && !file.Close())
        writeError = errno;

    if (writeError != 0) {
        result = TDownloadResult::Failed;
        FErrorText = OneLine("Cannot write file \"" + path + "\": " + std::strerror(writeError));
    } else if (result == TDownloadResult::Done && !IsSuccessStatus(FResultCode)) {
        // An error page or a redirect is no archive.
        result = RefuseStatus();
    }
    if (result == TDownloadResult::Done)
        guard.Keep();
    return result;
}
