#include "Platform/HttpClient.h"

#include "Platform/CodePage.h"
#include "Platform/FileHandle.h"
#include "Platform/HttpTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <new>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

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
    explicit TPartialFileGuard(const std::string& path) : path_(path) {}
    ~TPartialFileGuard() {
        if (!kept_)
            ::unlink(path_.c_str());
    }
    TPartialFileGuard(const TPartialFileGuard&) = delete;
    TPartialFileGuard& operator=(const TPartialFileGuard&) = delete;
    void Keep() { kept_ = true; }

private:
    const std::string& path_;
    bool kept_ = false;
};

struct TMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// The easy handle belongs to the multi handle only for the length of one request.
class TMultiAttachment {
public:
    TMultiAttachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        curl_multi_add_handle(multi, easy);
    }
    ~TMultiAttachment() { curl_multi_remove_handle(multi_, easy_); }
    TMultiAttachment(const TMultiAttachment&) = delete;
    TMultiAttachment& operator=(const TMultiAttachment&) = delete;

private:
    CURLM* multi_;
    CURL* easy_;
};

} // namespace

std::size_t THTTPSend::OnHeader(char* data, std::size_t size, std::size_t count, void* target) {
    auto& transfer = *static_cast<TTransfer*>(target);
    const std::string_view line(data, size * count);
    // Every response of the exchange (an interim 100, a proxy's answer) starts with its status line;
    // the last one is the response's.
    if (line.starts_with("HTTP/")) {
        try {
            transfer.statusLine = OneLine(line);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    return size * count;
}

void THTTPSend::EasyDeleter::operator()(void* handle) const {
    curl_easy_cleanup(handle);
}

THTTPSend::THTTPSend() {
    if (GlobalInit())
        handle_.reset(curl_easy_init());
}

THTTPSend::~THTTPSend() = default;

TDownloadResult THTTPSend::Perform(const std::string& method, const std::string& url, TTransfer& transfer) {
    resultCode_ = 0;
    statusLine_.clear();
    lastModified_.reset();
    errorText_.clear();
    if (!handle_) {
        errorText_ = "libcurl could not be initialised";
        return TDownloadResult::Failed;
    }

    CURL* curl = handle_.get();
    curl_easy_reset(curl);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // An HTTP client: other schemes that libcurl knows (file, ftp...) are refused.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    if (method == "GET")
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    else if (method == "HEAD")
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    else
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    transfer.sizeLimit = sizeLimit_;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    // A body announced larger than the limit is refused before its first byte.
    curl_easy_setopt(
        curl, CURLOPT_MAXFILESIZE_LARGE,
        static_cast<curl_off_t>(std::min<std::uint64_t>(sizeLimit_, std::numeric_limits<curl_off_t>::max())));

    // libcurl's defaults, stated because the callers rely on them.
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

    // Time-outs run without signals: the host's process is not ours to send SIGALRM to.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout_.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(stallTimeout_.count()));

    // The multi interface lets this loop, not libcurl, decide how long to wait: the time limit, the
    // progress report and the cancel check are served while the transfer waits for the network.
    const std::unique_ptr<CURLM, TMultiDeleter> multi(curl_multi_init());
    if (!multi) {
        errorText_ = "libcurl could not be initialised";
        return TDownloadResult::Failed;
    }
    TDownloadResult result = TDownloadResult::Done;
    CURLcode curlResult = CURLE_OK;
    {
        const TMultiAttachment attachment(multi.get(), curl);
        const auto start = Clock::now();
        const auto deadline = start + timeLimit_;
        auto nextReport = start;
        for (;;) {
            int running = 0;
            const CURLMcode step = curl_multi_perform(multi.get(), &running);
            if (step != CURLM_OK) {
                errorText_ = OneLine(curl_multi_strerror(step));
                result = TDownloadResult::Failed;
                break;
            }
            if (running == 0) {
                int left = 0;
                const CURLMsg* message = curl_multi_info_read(multi.get(), &left);
                curlResult = message != nullptr ? message->data.result : CURLE_OK;
                break;
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                result = TDownloadResult::TimedOut;
                break;
            }
            if (progress_ && now >= nextReport) {
                nextReport = now + DownloadProgressInterval;
                if (!progress_(transfer.received)) {
                    result = TDownloadResult::Cancelled;
                    break;
                }
            }
            const auto wait =
                std::min<Clock::duration>({DownloadProgressInterval, deadline - now,
                                           progress_ ? nextReport - now : Clock::duration::max()});
            curl_multi_poll(multi.get(), nullptr, 0,
                            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()),
                            nullptr);
        }
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &resultCode_);
    statusLine_ = transfer.statusLine;
    curl_off_t modified = -1;
    if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &modified) == CURLE_OK && modified >= 0)
        lastModified_ = static_cast<std::int64_t>(modified);
    // The buffer lives on this frame only.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

    if (result == TDownloadResult::Done && curlResult != CURLE_OK) {
        if (transfer.tooLarge || curlResult == CURLE_FILESIZE_EXCEEDED)
            result = TDownloadResult::TooLarge;
        else
            result = TDownloadResult::Failed;
        // A sink that stopped the transfer has its own reason; the caller gives it.
        if (result == TDownloadResult::Failed && !transfer.sinkStopped)
            errorText_ = OneLine(errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(curlResult));
    }
    return ExplainLimit(result);
}

TDownloadResult THTTPSend::Download(const std::string& url, const std::string& path) {
    document_.clear();
    TPartialFileGuard guard(path);
    TFileHandle file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (file.Get() < 0) {
        const int error = errno;
        resultCode_ = 0;
        statusLine_.clear();
        errorText_ = OneLine("Cannot create file \"" + path + "\": " + std::strerror(error));
        return TDownloadResult::Failed;
    }

    int writeError = 0;
    bool statusRefused = false;
    CURL* curl = handle_.get();
    TTransfer transfer;
    transfer.sink = [&](const char* data, std::size_t size) {
        // The body's first bytes come after the status is known: only a 2xx body is written.
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (!IsSuccessStatus(status)) {
            statusRefused = true;
            return false;
        }
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
    if (result == TDownloadResult::Done && file.Close() != 0)
        writeError = errno;

    if (writeError != 0) {
        result = TDownloadResult::Failed;
        errorText_ = OneLine("Cannot write file \"" + path + "\": " + std::strerror(writeError));
    } else if (statusRefused || (result == TDownloadResult::Done && !IsSuccessStatus(resultCode_)) ||
               (result == TDownloadResult::TooLarge && resultCode_ != 0 && !IsSuccessStatus(resultCode_))) {
        // An error page or a redirect is no archive, however large its body.
        result = RefuseStatus();
    }
    if (result == TDownloadResult::Done)
        guard.Keep();
    return result;
}
