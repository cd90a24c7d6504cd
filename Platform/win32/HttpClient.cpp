#include "Platform/HttpClient.h"

#include "Platform/Calendar.h"
#include "Platform/HttpTransfer.h"
#include "Platform/QuantityText.h"
#include "Platform/Unicode.h"
#include "Platform/win32/HttpClient.h"
#include "Platform/win32/OwnedHandle.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

// Texts from the server or from the system end up in the user's report: one line, nothing that steers a
// terminal.
std::string OneLine(std::u16string_view text) {
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r'))
        text.remove_suffix(1);
    return Utf16ToUtf8(ReplaceControlChars(text));
}

std::string OneLine(std::string_view text) {
    return OneLine(Utf8ToUtf16(text));
}

// Windows' own texts for the codes a download meets, for a system without them: Wine's winhttp.dll has no
// message table, nor its system table the sockets' codes.
const char* KnownReason(DWORD code) {
    static constexpr struct {
        DWORD code;
        const char* text;
    } reasons[] = {
        {ERROR_WINHTTP_TIMEOUT, "The operation timed out"},
        {ERROR_WINHTTP_INVALID_URL, "The URL is invalid"},
        {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, "The URL does not use a recognized protocol"},
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, "The server name or address could not be resolved"},
        {ERROR_WINHTTP_OPERATION_CANCELLED, "The operation was canceled"},
        {ERROR_WINHTTP_CANNOT_CONNECT, "A connection with the server could not be established"},
        {ERROR_WINHTTP_CONNECTION_ERROR, "The connection with the server was terminated abnormally"},
        {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "The server returned an invalid or unrecognized response"},
        {ERROR_WINHTTP_SECURE_FAILURE, "A security error occurred"},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, "An error occurred in the secure channel support"},
        {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, "The date in the certificate is invalid or has expired"},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID,
         "The host name in the certificate is invalid or does not match"},
        {ERROR_WINHTTP_SECURE_INVALID_CA, "The certificate authority is invalid or incorrect"},
        {ERROR_WINHTTP_SECURE_INVALID_CERT, "The certificate is invalid"},
        {ERROR_WINHTTP_SECURE_CERT_REVOKED, "The certificate has been revoked"},
        {WSAETIMEDOUT, "The operation timed out"},
        {WSAECONNREFUSED, "No connection could be made because the target machine actively refused it"},
        {WSAECONNRESET, "An existing connection was forcibly closed by the remote host"},
    };
    for (const auto& reason : reasons) {
        if (reason.code == code)
            return reason.text;
    }
    return nullptr;
}

// WinHTTP's codes have their texts in winhttp.dll; the others are the system's.
std::string SystemReason(DWORD code) {
    if (const std::u16string text = SysErrorMessage(code, u"winhttp.dll"); !text.empty())
        return OneLine(text);
    if (const char* known = KnownReason(code))
        return known;
    return "system error " + std::to_string(code);
}

std::string CertificateProblems(DWORD flags) {
    static constexpr struct {
        DWORD flag;
        const char* text;
    } problems[] = {
        {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, "the certificate is not issued by a trusted authority"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID, "the certificate is for another host name"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID, "the certificate has expired or is not yet valid"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REVOKED, "the certificate was revoked"},
        {WINHTTP_CALLBACK_STATUS_FLAG_CERT_REV_FAILED, "the certificate's revocation could not be checked"},
        {WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CERT, "the certificate is invalid"},
        {WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR, "the secure channel failed"},
    };
    std::string text;
    for (const auto& problem : problems) {
        if ((flags & problem.flag) != 0)
            text += (text.empty() ? "" : ", ") + std::string(problem.text);
    }
    return text;
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 0, INT_MAX));
}

// Removes the file unless the download completed.
class TPartialFileGuard {
public:
    explicit TPartialFileGuard(const std::u16string& path) : path_(path) {}
    ~TPartialFileGuard() {
        if (!kept_)
            DeleteFileW(WidePtr(path_));
    }
    TPartialFileGuard(const TPartialFileGuard&) = delete;
    TPartialFileGuard& operator=(const TPartialFileGuard&) = delete;
    void Keep() { kept_ = true; }

private:
    const std::u16string& path_;
    bool kept_ = false;
};

struct TInternetDeleter {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using TInternetHandle = std::unique_ptr<void, TInternetDeleter>;

// How long the end of a request, and the client's end, wait for WinHTTP to let go of a request: on
// Windows a closed handle's HANDLE_CLOSING comes within milliseconds, even while connecting; the bound
// only keeps a system that never sends it from freezing the host's window.
constexpr auto ClosingWait = std::chrono::seconds(3);

// The requests WinHTTP may still call back for: each from the moment its callback is set until its
// HANDLE_CLOSING, which is the last notification of a handle. Only request handles have the callback;
// connections and the session never call back. The callback is code of the plug-in's module, which the
// host may unload as soon as the client is gone, so the client's end waits for none to be left (the
// plug-in has one client at a time).
class TCallbackContexts {
public:
    void Add() {
        const std::lock_guard lock(mutex_);
        ++count_;
    }
    // Notified under the lock: a waiter that sees none left cannot return before the notifying thread
    // has let go of the lock, so that thread is past everything but its way out of the callback.
    void Remove() {
        const std::lock_guard lock(mutex_);
        --count_;
        changed_.notify_all();
    }
    std::size_t Count() {
        const std::lock_guard lock(mutex_);
        return count_;
    }
    // False when some are still left at the time-out.
    bool WaitForNone(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return count_ == 0; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t count_ = 0;
};

TCallbackContexts& CallbackContexts() {
    static TCallbackContexts contexts;
    return contexts;
}

// What WinHTTP's threads report about the one operation in flight: the request runs asynchronously, so
// that this thread waits in short steps and can report progress, keep the time limit and cancel, also
// while a connection is being made. Reference counted: WinHTTP holds a reference until the request
// handle's last notification (HANDLE_CLOSING), so the state and its buffer outlive a request whose end
// waited for that notification in vain.
class TRequestState {
public:
    static constexpr DWORD BufferSize = 64 * 1024;

    TRequestState()
        : done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          closed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    TRequestState(const TRequestState&) = delete;
    TRequestState& operator=(const TRequestState&) = delete;

    void AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }

    // Signalled when the operation in flight has completed.
    HANDLE Done() const { return done_.Get(); }
    // Signalled at the request handle's HANDLE_CLOSING: no notification comes after it.
    HANDLE Closed() const { return closed_.Get(); }
    char* Buffer() { return buffer_.data(); }
    // The notification that ended the last operation: SENDREQUEST_COMPLETE, HEADERS_AVAILABLE,
    // DATA_AVAILABLE, READ_COMPLETE or REQUEST_ERROR; with the bytes available or read, or the error.
    DWORD Status() const { return status_.load(); }
    DWORD Bytes() const { return bytes_.load(); }
    DWORD Error() const { return error_.load(); }
    DWORD CertificateFlags() const { return certificateFlags_.load(); }

    // WinHTTP's callback, on its own threads; it must not throw.
    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                  DWORD length) noexcept {
        auto* state = reinterpret_cast<TRequestState*>(context);
        if (state == nullptr)
            return;
        switch (status) {
        case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
            if (info != nullptr)
                state->certificateFlags_ = *static_cast<const DWORD*>(info);
            break;
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            state->Complete(status, 0, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            state->Complete(status, info != nullptr ? *static_cast<const DWORD*>(info) : 0, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            state->Complete(status, length, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            state->Complete(status, 0, static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError);
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            // The state may go with WinHTTP's reference (when the request's end waited in vain); the count
            // drops last, since the client's end waits for it before the module may go.
            SetEvent(state->closed_.Get());
            state->Release();
            CallbackContexts().Remove();
            break;
        default:
            break;
        }
    }

private:
    ~TRequestState() = default;

    void Complete(DWORD status, DWORD bytes, DWORD error) {
        bytes_ = bytes;
        error_ = error;
        status_ = status;
        SetEvent(done_.Get());
    }

    std::atomic<long> references_{1};
    TOwnedHandle done_;
    TOwnedHandle closed_;
    std::atomic<DWORD> status_{0};
    std::atomic<DWORD> bytes_{0};
    std::atomic<DWORD> error_{0};
    std::atomic<DWORD> certificateFlags_{0};
    std::array<char, BufferSize> buffer_;
};

struct TStateRelease {
    void operator()(TRequestState* state) const { state->Release(); }
};
using TStatePtr = std::unique_ptr<TRequestState, TStateRelease>;

// The request handle with the state WinHTTP reports into. Closing the handle cancels what is in flight;
// the request ends when WinHTTP has said its last word about it.
class TAsyncRequest {
public:
    TAsyncRequest(HINTERNET connection, const std::u16string& method, const std::u16string& path, bool secure)
        : state_(new TRequestState),
          handle_(WinHttpOpenRequest(connection, WidePtr(method), WidePtr(path), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)) {}
    TAsyncRequest(const TAsyncRequest&) = delete;
    TAsyncRequest& operator=(const TAsyncRequest&) = delete;
    // A request that does not close within the bound is left to WinHTTP, which keeps the state alive
    // until it closes; the client's end waits for it again.
    ~TAsyncRequest() {
        handle_.reset();
        if (listening_)
            WaitForSingleObject(state_->Closed(), Milliseconds(ClosingWait));
    }

    HINTERNET Get() const { return handle_.get(); }
    TRequestState& State() const { return *state_; }

    // Routes the request's notifications to the state; false, with the reason in GetLastError, when
    // WinHTTP refuses.
    bool Listen() {
        TRequestState* state = state_.get();
        if (!WinHttpSetOption(handle_.get(), WINHTTP_OPTION_CONTEXT_VALUE, &state, sizeof state))
            return false;
        state->AddRef(); // WinHTTP's, given back at HANDLE_CLOSING
        CallbackContexts().Add();
        if (WinHttpSetStatusCallback(handle_.get(), TRequestState::OnStatus,
                                     WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                         WINHTTP_CALLBACK_FLAG_SECURE_FAILURE | WINHTTP_CALLBACK_FLAG_HANDLES,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            const DWORD error = GetLastError();
            CallbackContexts().Remove();
            state->Release();
            SetLastError(error);
            return false;
        }
        listening_ = true;
        return true;
    }

private:
    TStatePtr state_;
    TInternetHandle handle_;
    bool listening_ = false;
};

std::u16string QueryText(HINTERNET request, DWORD query) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WidePtr(text.data()), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(char16_t));
    return text;
}

constexpr std::uint64_t UnknownLength = ~std::uint64_t{0};

// The announced length of the body, UnknownLength when the response has no valid Content-Length.
std::uint64_t ContentLength(HINTERNET request) {
    const std::string text = Utf16ToUtf8(QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH));
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return UnknownLength;
    return length;
}

// The response's Last-Modified, which WinHTTP reads as a date; nothing without one.
std::optional<std::int64_t> LastModifiedOf(HINTERNET request) {
    SYSTEMTIME time{};
    DWORD size = sizeof time;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED | WINHTTP_QUERY_FLAG_SYSTEMTIME,
                             WINHTTP_HEADER_NAME_BY_INDEX, &time, &size, WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    FILETIME fileTime{};
    if (!SystemTimeToFileTime(&time, &fileTime))
        return std::nullopt;
    return UnixTimeOfFileTime((std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime);
}

} // namespace

// Takes the response's status line (UTF-8).
std::size_t THTTPSend::OnHeader(char* data, std::size_t size, std::size_t count, void* target) {
    auto& transfer = *static_cast<TTransfer*>(target);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/"))
        transfer.statusLine = OneLine(line);
    return size * count;
}

void THTTPSend::EasyDeleter::operator()(void* handle) const {
    WinHttpCloseHandle(handle);
}

// The WinHTTP session opens with the first request, so that a failure to open it is reported with it.
THTTPSend::THTTPSend() = default;

// WinHTTP may still call back for a request whose end waited in vain; once the client is gone, nothing
// keeps the host from unloading the plug-in. Blocking the host's window for as long as it takes could
// freeze it for good, so the wait is bounded; if it passes, the plug-in's module is pinned: the states
// stay alive through WinHTTP's references and the callback's code stays loaded, a leak until the host's
// process ends instead of a crash in freed code.
THTTPSend::~THTTPSend() {
    handle_.reset();
    if (CallbackContexts().WaitForNone(ClosingWait))
        return;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&TRequestState::OnStatus), &module);
}

std::size_t PendingWinHttpCallbacks() {
    return CallbackContexts().Count();
}

TDownloadResult THTTPSend::Perform(const std::string& method, const std::string& url, TTransfer& transfer) {
    resultCode_ = 0;
    statusLine_.clear();
    lastModified_.reset();
    errorText_.clear();
    transfer.sizeLimit = sizeLimit_;

    const auto finish = [&](TDownloadResult result) {
        statusLine_ = transfer.statusLine;
        return ExplainLimit(result);
    };
    const auto fail = [&](std::string reason) {
        errorText_ = std::move(reason);
        return finish(TDownloadResult::Failed);
    };

    if (!handle_) {
        // No agent: WinHTTP then sends no User-Agent, and nothing else of ours goes out. The proxy is the
        // one set for WinHTTP (netsh winhttp), not the environment's.
        handle_.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
        if (!handle_)
            return fail("WinHTTP could not be initialised: " + SystemReason(GetLastError()));
    }

    const std::u16string wideUrl = Utf8ToUtf16(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        DWORD(-1);
    if (wideUrl.size() > INT_MAX ||
        !WinHttpCrackUrl(WidePtr(wideUrl), static_cast<DWORD>(wideUrl.size()), 0, &parts))
        return fail(OneLine("Cannot read the address \"" + url + "\": " + SystemReason(GetLastError())));
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return fail(OneLine("Cannot read the address \"" + url + "\": it is not an http or https address"));
    const std::u16string host(Utf16Ptr(parts.lpszHostName), parts.dwHostNameLength);
    std::u16string path = std::u16string(Utf16Ptr(parts.lpszUrlPath), parts.dwUrlPathLength) +
                          std::u16string(Utf16Ptr(parts.lpszExtraInfo), parts.dwExtraInfoLength);
    path = path.substr(0, path.find(u'#')); // the fragment is the client's, never sent
    if (path.empty())
        path = u"/";

    const TInternetHandle connection(WinHttpConnect(handle_.get(), WidePtr(host), parts.nPort, 0));
    if (!connection)
        return fail(SystemReason(GetLastError()));
    TAsyncRequest request(connection.get(), Utf8ToUtf16(method), path,
                          parts.nScheme == INTERNET_SCHEME_HTTPS);
    if (!request.Get() || !request.Listen())
        return fail(SystemReason(GetLastError()));
    HINTERNET handle = request.Get();
    TRequestState& state = request.State();

    // Redirects are the caller's to see, not to follow; nor does WinHTTP add cookies or answer an
    // authentication challenge of its own.
    DWORD option = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    const bool noRedirects = WinHttpSetOption(handle, WINHTTP_OPTION_REDIRECT_POLICY, &option, sizeof option);
    option = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
    if (!WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &option, sizeof option) && !noRedirects)
        return fail("WinHTTP cannot be kept from following redirects: " + SystemReason(GetLastError()));
    // The connect time-out covers the name's look-up too; a silent send or receive is a stall.
    const DWORD connect = Milliseconds(connectTimeout_);
    DWORD stall = Milliseconds(stallTimeout_);
    WinHttpSetTimeouts(handle, static_cast<int>(connect), static_cast<int>(connect), static_cast<int>(stall),
                       static_cast<int>(stall));
    WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stall, sizeof stall);

    // Waits for the operation in flight while reporting progress; Done when it completed, its outcome in
    // the state.
    const auto start = Clock::now();
    const auto deadline = start + timeLimit_;
    auto nextReport = start;
    const auto await = [&]() {
        for (;;) {
            const auto now = Clock::now();
            if (now >= deadline)
                return TDownloadResult::TimedOut;
            if (progress_ && now >= nextReport) {
                nextReport = now + DownloadProgressInterval;
                if (!progress_(transfer.received))
                    return TDownloadResult::Cancelled;
            }
            const auto wait =
                std::min<Clock::duration>({DownloadProgressInterval, deadline - Clock::now(),
                                           progress_ ? nextReport - Clock::now() : Clock::duration::max()});
            const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(wait);
            if (WaitForSingleObject(state.Done(),
                                    Milliseconds(std::max(milliseconds, std::chrono::milliseconds(0)))) ==
                WAIT_OBJECT_0)
                return TDownloadResult::Done;
        }
    };
    // The reason for a failed step: a time-out is the connect or the stall limit, a rejected certificate
    // says what is wrong with it.
    bool connected = false;
    const auto stepFailed = [&](DWORD error) {
        std::string reason = SystemReason(error);
        if (error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT)
            reason = connected ? "no data arrived for " + DurationText(stallTimeout_) + " (" + reason + ")"
                               : "no answer from the server within " + DurationText(connectTimeout_) + " (" +
                                     reason + ")";
        else if (state.CertificateFlags() != 0)
            reason += ": " + CertificateProblems(state.CertificateFlags());
        return fail(reason);
    };

    // Every step is started here and completes in a notification; a step refused at once fails with
    // GetLastError's code.
    const auto step = [&](BOOL started, DWORD completion) -> std::optional<TDownloadResult> {
        if (!started)
            return stepFailed(GetLastError());
        const TDownloadResult waited = await();
        if (waited != TDownloadResult::Done)
            return finish(waited);
        if (state.Status() == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
            return stepFailed(state.Error());
        if (state.Status() != completion)
            return fail("WinHTTP gave an unexpected notification " + std::to_string(state.Status()));
        return std::nullopt;
    };

    if (progress_) {
        nextReport = start + DownloadProgressInterval;
        if (!progress_(0))
            return finish(TDownloadResult::Cancelled);
    }
    if (const auto ended =
            step(WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                    reinterpret_cast<DWORD_PTR>(&state)),
                 WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE))
        return *ended;
    connected = true;
    if (const auto ended =
            step(WinHttpReceiveResponse(handle, nullptr), WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE))
        return *ended;

    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    resultCode_ = static_cast<long>(status);
    lastModified_ = LastModifiedOf(handle);
    std::string headers = Utf16ToUtf8(QueryText(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF));
    headers.resize(std::min(headers.size(), headers.find('\n')));
    OnHeader(headers.data(), 1, headers.size(), &transfer);
    if (transfer.successOnly && !IsSuccessStatus(resultCode_))
        return finish(TDownloadResult::Done); // the caller's HttpError; its body is no download
    // A body announced larger than the limit is refused before its first byte.
    const bool hasBody = method != "HEAD" && status >= 200 && status != 204 && status != 304;
    const std::uint64_t announced = hasBody ? ContentLength(handle) : UnknownLength;
    if (announced != UnknownLength && announced > sizeLimit_)
        return finish(TDownloadResult::TooLarge);

    // Waiting is for the next bytes to arrive; the read then takes only what is there. (A read alone
    // may wait until it has filled the whole buffer.)
    for (;;) {
        if (const auto ended =
                step(WinHttpQueryDataAvailable(handle, nullptr), WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE))
            return *ended;
        const DWORD available = std::min(state.Bytes(), TRequestState::BufferSize);
        if (available == 0)
            break;
        if (const auto ended = step(WinHttpReadData(handle, state.Buffer(), available, nullptr),
                                    WINHTTP_CALLBACK_STATUS_READ_COMPLETE))
            return *ended;
        const DWORD count = state.Bytes();
        if (count == 0)
            break;
        if (OnBody(state.Buffer(), 1, count, &transfer) != count) {
            if (transfer.tooLarge)
                return finish(TDownloadResult::TooLarge);
            return finish(TDownloadResult::Failed); // the sink has its own reason; the caller gives it
        }
    }
    // WinHTTP ends a body whose connection closed early as if it were whole.
    if (announced != UnknownLength && transfer.received < announced)
        return fail("the server closed the connection after " + std::to_string(transfer.received) +
                    " of the " + std::to_string(announced) + " bytes it announced");
    return finish(TDownloadResult::Done);
}

TDownloadResult THTTPSend::Download(const std::string& url, const std::string& path) {
    document_.clear();
    const std::u16string widePath = Utf8ToUtf16(path);
    TPartialFileGuard guard(widePath);
    TOwnedHandle file(CreateFileW(WidePtr(widePath), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        resultCode_ = 0;
        statusLine_.clear();
        errorText_ = OneLine("Cannot create file \"" + path + "\": " + SystemReason(error));
        return TDownloadResult::Failed;
    }

    DWORD writeError = ERROR_SUCCESS;
    TTransfer transfer;
    transfer.successOnly = true;
    transfer.sink = [&](const char* data, std::size_t size) {
        while (size > 0) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
            if (!WriteFile(file.Get(), data, piece, &written, nullptr)) {
                writeError = GetLastError();
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    };
    TDownloadResult result = Perform("GET", url, transfer);
    if (result == TDownloadResult::Done && !file.Close())
        writeError = GetLastError();

    if (writeError != ERROR_SUCCESS) {
        result = TDownloadResult::Failed;
        errorText_ = OneLine("Cannot write file \"" + path + "\": " + SystemReason(writeError));
    } else if (result == TDownloadResult::Done && !IsSuccessStatus(resultCode_)) {
        // An error page or a redirect is no archive.
        result = RefuseStatus();
    }
    if (result == TDownloadResult::Done)
        guard.Keep();
    return result;
}
