#include "Platform/HttpClient.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>
#include <new>

namespace {

// libcurl's global set-up is not thread-safe and must run before the first handle; it stays for the
// life of the process, like the host's copy of the library.
bool GlobalInit() {
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result == CURLE_OK;
}

size_t AppendBody(char* data, size_t size, size_t count, void* target) {
    // An exception must not cross libcurl's C frames; a short count makes it abort the transfer.
    try {
        static_cast<std::string*>(target)->append(data, size * count);
        return size * count;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

} // namespace

void THTTPSend::EasyDeleter::operator()(void* handle) const {
    curl_easy_cleanup(handle);
}

THTTPSend::THTTPSend() {
    if (GlobalInit())
        handle_.reset(curl_easy_init());
}

THTTPSend::~THTTPSend() = default;

bool THTTPSend::HTTPMethod(const std::string& method, const std::string& url) {
    document_.clear();
    resultCode_ = 0;
    errorText_.clear();
    if (!handle_) {
        errorText_ = "libcurl could not be initialised";
        return false;
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
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &document_);

    // libcurl's defaults, stated because the callers rely on them.
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

    const CURLcode result = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &resultCode_);
    // The buffer lives on this frame only.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (result != CURLE_OK) {
        errorText_ = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(result);
        return false;
    }
    return true;
}
