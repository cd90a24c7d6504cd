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
    explicit TPartialFileGuard(const std::u16string& path) : FPath(path) {}
    ~TPartialFileGuard() {
        if (!FKept)
            DeleteFileW(WidePtr(FPath));
    }
    TPartialFileGuard(const TPartialFileGuard&) = delete;
    TPartialFileGuard& operator=(const TPartialFileGuard&) = delete;
    void Keep() { FKept = true; }

private:
    const std::u16string& FPath;
    bool FKept = false;
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
        const std::lock_guard lock(FMutex);
        ++FCount;
    }
    // Notified under the lock: a waiter that sees none left cannot return before the notifying thread
    // has let go of the lock, so that thread is past everything but its way out of the callback.
    void Remove() {
        const std::lock_guard lock(FMutex);
        --FCount;
        FChanged.notify_all();
    }
    std::size_t Count() {
        const std::lock_guard lock(FMutex);
        return FCount;
    }
    // False when some are still left at the time-out.
    bool WaitForNone(std::chrono::milliseconds timeout) {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, timeout, [this] { return FCount == 0; });
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::size_t FCount = 0;
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
        : FDone(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          FClosed(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    TRequestState(const TRequestState&) = delete;
    TRequestState& operator=(const TRequestState&) = delete;

    void AddRef() { FReferences.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (FReferences.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }

    // Signalled when the operation in flight has completed.
    HANDLE Done() const { return FDone.Get(); }
    // Signalled at the request handle's HANDLE_CLOSING: no notification comes after it.
    HANDLE Closed() const { return FClosed.Get(); }
    char* Buffer() { return FBuffer.data(); }
    // The notification that ended the last operation: SENDREQUEST_COMPLETE, HEADERS_AVAILABLE,
    // DATA_AVAILABLE, READ_COMPLETE or REQUEST_ERROR; with the bytes available or read, or the error.
    DWORD Status() const { return FStatus.load(); }
    DWORD Bytes() const { return FBytes.load(); }
    DWORD Error() const { return FError.load(); }
    DWORD CertificateFlags() const { return FCertificateFlags.load(); }

    // WinHTTP's callback, on its own threads; it must not throw.
    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                  DWORD length) noexcept {
        auto* state = reinterpret_cast<TRequestState*>(context);
        if (state == nullptr)
            return;
        switch (status) {
        case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
            if (info != nullptr)
                state->FCertificateFlags = *static_cast<const DWORD*>(info);
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
            SetEvent(state->FClosed.Get());
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
        FBytes = bytes;
        FError = error;
        FStatus = status;
        SetEvent(FDone.Get());
    }

    std::atomic<long> FReferences{1};
    TOwnedHandle FDone;
    TOwnedHandle FClosed;
    std::atomic<DWORD> FStatus{0};
    std::atomic<DWORD> FBytes{0};
    std::atomic<DWORD> FError{0};
    std::atomic<DWORD> FCertificateFlags{0};
    std::array<char, BufferSize> FBuffer;
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
        : FState(new TRequestState),
          FHandle(WinHttpOpenRequest(connection, WidePtr(method), WidePtr(path), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)) {}
    TAsyncRequest(const TAsyncRequest&) = delete;
    TAsyncRequest& operator=(const TAsyncRequest&) = delete;
    // A request that does not close within the bound is left to WinHTTP, which keeps the state alive
    // until it closes; the client's end waits for it again.
    ~TAsyncRequest() {
        FHandle.reset();
        if (FListening)
            WaitForSingleObject(FState->Closed(), Milliseconds(ClosingWait));
    }

    HINTERNET Get() const { return FHandle.get(); }
    TRequestState& State() const { return *FState; }

    // Routes the request's notifications to the state; false, with the reason in GetLastError, when
    // WinHTTP refuses.
    bool Listen() {
        TRequestState* state = FState.get();
        if (!WinHttpSetOption(FHandle.get(), WINHTTP_OPTION_CONTEXT_VALUE, &state, sizeof state))
            return false;
        state->AddRef(); // WinHTTP's, given back at HANDLE_CLOSING
        CallbackContexts().Add();
        if (WinHttpSetStatusCallback(FHandle.get(), TRequestState::OnStatus,
                                     WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                         WINHTTP_CALLBACK_FLAG_SECURE_FAILURE | WINHTTP_CALLBACK_FLAG_HANDLES,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            const DWORD error = GetLastError();
            CallbackContexts().Remove();
            state->Release();
            SetLastError(error);
            return false;
        }
        FListening = true;
        return true;
    }

private:
    TStatePtr FState;
    TInternetHandle FHandle;
    bool FListening = false;
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

// The announced length of the body, none when the response has no valid Content-Length.
std::optional<std::uint64_t> ContentLength(HINTERNET request) {
    const std::string text = Utf16ToUtf8(QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH));
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
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

// The request as WinHTTP takes it: each step is started and completes in a notification, which is
// awaited a bounded time at once, so that the loop keeps its limits also while a connection is made.
class TWinHttpTransport final : public THttpTransport {
public:
    TWinHttpTransport(TInternetHandle connection, const std::u16string& method, const std::u16string& path,
                      bool secure, std::chrono::seconds connectTimeout, std::chrono::seconds stallTimeout)
        : FConnection(std::move(connection)), FRequest(FConnection.get(), method, path, secure),
          FConnectTimeout(connectTimeout), FStallTimeout(stallTimeout) {}

    // Empty when the request cannot be sent: the reason then, in the system's words.
    std::string Prepare() {
        if (!FRequest.Get() || !FRequest.Listen())
            return SystemReason(GetLastError());
        // Redirects are the caller's to see, not to follow; nor does WinHTTP add cookies or answer an
        // authentication challenge of its own.
        HINTERNET handle = FRequest.Get();
        DWORD option = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        const bool noRedirects =
            WinHttpSetOption(handle, WINHTTP_OPTION_REDIRECT_POLICY, &option, sizeof option);
        option = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
        if (!WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &option, sizeof option) && !noRedirects)
            return "WinHTTP cannot be kept from following redirects: " + SystemReason(GetLastError());
        // The connect time-out covers the name's look-up too; a silent send or receive is a stall.
        const DWORD connect = Milliseconds(FConnectTimeout);
        DWORD stall = Milliseconds(FStallTimeout);
        WinHttpSetTimeouts(handle, static_cast<int>(connect), static_cast<int>(connect),
                           static_cast<int>(stall), static_cast<int>(stall));
        WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stall, sizeof stall);
        return {};
    }

    TTransportStep AwaitHead(std::chrono::milliseconds wait) override {
        HINTERNET handle = FRequest.Get();
        switch (FPhase) {
        case TPhase::Start:
            if (!Begin(WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                                          0, 0, reinterpret_cast<DWORD_PTR>(&FRequest.State())),
                       WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE, TPhase::Sending))
                return TTransportStep::Failed;
            [[fallthrough]];
        case TPhase::Sending:
            if (const TTransportStep sent = Complete(wait); sent != TTransportStep::Ready)
                return sent;
            FConnected = true;
            return Begin(WinHttpReceiveResponse(handle, nullptr), WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE,
                         TPhase::Receiving)
                       ? TTransportStep::Waiting
                       : TTransportStep::Failed;
        case TPhase::Receiving:
            if (const TTransportStep received = Complete(wait); received != TTransportStep::Ready)
                return received;
            TakeHead();
            FPhase = TPhase::Body;
            return TTransportStep::Ready;
        default:
            return TTransportStep::Ready;
        }
    }

    THttpHead Head() const override { return FHead; }

    // Waiting is for the next bytes to arrive; the read then takes only what is there. (A read alone
    // may wait until it has filled the whole buffer.)
    TTransportStep AwaitChunk(std::chrono::milliseconds wait, std::string_view& chunk) override {
        TRequestState& state = FRequest.State();
        switch (FPhase) {
        case TPhase::Body:
            if (!Begin(WinHttpQueryDataAvailable(FRequest.Get(), nullptr),
                       WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, TPhase::Querying))
                return TTransportStep::Failed;
            [[fallthrough]];
        case TPhase::Querying: {
            if (const TTransportStep queried = Complete(wait); queried != TTransportStep::Ready)
                return queried;
            const DWORD available = std::min(state.Bytes(), TRequestState::BufferSize);
            if (available == 0)
                return End(chunk);
            return Begin(WinHttpReadData(FRequest.Get(), state.Buffer(), available, nullptr),
                         WINHTTP_CALLBACK_STATUS_READ_COMPLETE, TPhase::Reading)
                       ? TTransportStep::Waiting
                       : TTransportStep::Failed;
        }
        case TPhase::Reading:
            if (const TTransportStep read = Complete(wait); read != TTransportStep::Ready)
                return read;
            if (state.Bytes() == 0)
                return End(chunk);
            chunk = std::string_view(state.Buffer(), state.Bytes());
            FPhase = TPhase::Body;
            return TTransportStep::Ready;
        default:
            return End(chunk);
        }
    }

    std::string Reason() const override { return FReason; }

private:
    enum class TPhase { Start, Sending, Receiving, Body, Querying, Reading, Ended };

    // Starts a step that completes in the given notification; false when WinHTTP refuses it at once.
    bool Begin(BOOL started, DWORD completion, TPhase phase) {
        if (!started) {
            Fail(GetLastError());
            return false;
        }
        FCompletion = completion;
        FPhase = phase;
        return true;
    }

    // Waits for the step in flight; Ready when it completed as it should.
    TTransportStep Complete(std::chrono::milliseconds wait) {
        TRequestState& state = FRequest.State();
        if (WaitForSingleObject(state.Done(), Milliseconds(wait)) != WAIT_OBJECT_0)
            return TTransportStep::Waiting;
        if (state.Status() == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
            Fail(state.Error());
            return TTransportStep::Failed;
        }
        if (state.Status() != FCompletion) {
            FReason = "WinHTTP gave an unexpected notification " + std::to_string(state.Status());
            return TTransportStep::Failed;
        }
        return TTransportStep::Ready;
    }

    TTransportStep End(std::string_view& chunk) {
        FPhase = TPhase::Ended;
        chunk = {};
        return TTransportStep::Ready;
    }

    // The reason for a failed step: a time-out is the connect or the stall limit, a rejected certificate
    // says what is wrong with it.
    void Fail(DWORD error) {
        FReason = SystemReason(error);
        const DWORD certificate = FRequest.State().CertificateFlags();
        if (error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT)
            FReason = FConnected ? "no data arrived for " + DurationText(FStallTimeout) + " (" + FReason + ")"
                                 : "no answer from the server within " + DurationText(FConnectTimeout) +
                                       " (" + FReason + ")";
        else if (certificate != 0)
            FReason += ": " + CertificateProblems(certificate);
    }

    void TakeHead() {
        HINTERNET handle = FRequest.Get();
        DWORD status = 0;
        DWORD size = sizeof status;
        WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        FHead.status = static_cast<long>(status);
        std::string headers = Utf16ToUtf8(QueryText(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF));
        headers.resize(std::min(headers.size(), headers.find('\n')));
        if (headers.starts_with("HTTP/"))
            FHead.statusLine = OneLine(headers);
        FHead.announced = ContentLength(handle);
        FHead.lastModified = LastModifiedOf(handle);
    }

    // Declared before the request, which must close first.
    TInternetHandle FConnection;
    TAsyncRequest FRequest;
    std::chrono::seconds FConnectTimeout;
    std::chrono::seconds FStallTimeout;
    TPhase FPhase = TPhase::Start;
    DWORD FCompletion = 0;
    bool FConnected = false;
    THttpHead FHead;
    std::string FReason;
};

// An address WinHTTP can open: host, port, the path with its query (the fragment is the client's, never
// sent) and whether it is secure; the reason when it is none.
struct TAddress {
    std::u16string host;
    INTERNET_PORT port = 0;
    std::u16string path;
    bool secure = false;
    std::string refusal;
};

TAddress CrackAddress(const std::string& url) {
    TAddress address;
    const std::u16string wideUrl = Utf8ToUtf16(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        DWORD(-1);
    if (wideUrl.size() > INT_MAX ||
        !WinHttpCrackUrl(WidePtr(wideUrl), static_cast<DWORD>(wideUrl.size()), 0, &parts))
        address.refusal = OneLine("Cannot read the address \"" + url + "\": " + SystemReason(GetLastError()));
    else if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        address.refusal =
            OneLine("Cannot read the address \"" + url + "\": it is not an http or https address");
    if (!address.refusal.empty())
        return address;
    address.host.assign(Utf16Ptr(parts.lpszHostName), parts.dwHostNameLength);
    address.port = parts.nPort;
    address.path = std::u16string(Utf16Ptr(parts.lpszUrlPath), parts.dwUrlPathLength) +
                   std::u16string(Utf16Ptr(parts.lpszExtraInfo), parts.dwExtraInfoLength);
    address.path = address.path.substr(0, address.path.find(u'#'));
    if (address.path.empty())
        address.path = u"/";
    address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return address;
}

} // namespace

struct THTTPSend::TSession {
    TInternetHandle handle;
};

// The WinHTTP session opens with the first request, so that a failure to open it is reported with it.
THTTPSend::THTTPSend() : FSession(std::make_unique<TSession>()) {}

// WinHTTP may still call back for a request whose end waited in vain; once the client is gone, nothing
// keeps the host from unloading the plug-in. Blocking the host's window for as long as it takes could
// freeze it for good, so the wait is bounded; if it passes, the plug-in's module is pinned: the states
// stay alive through WinHTTP's references and the callback's code stays loaded, a leak until the host's
// process ends instead of a crash in freed code.
THTTPSend::~THTTPSend() {
    FSession.reset();
    if (CallbackContexts().WaitForNone(ClosingWait))
        return;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&TRequestState::OnStatus), &module);
}

std::size_t PendingWinHttpCallbacks() {
    return CallbackContexts().Count();
}

std::unique_ptr<THttpTransport> THTTPSend::OpenTransport(const std::string& method, const std::string& url) {
    TInternetHandle& session = FSession->handle;
    if (!session) {
        // No agent: WinHTTP then sends no User-Agent, and nothing else of ours goes out. The proxy is the
        // one set for WinHTTP (netsh winhttp), not the environment's.
        session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
        if (!session) {
            FErrorText = "WinHTTP could not be initialised: " + SystemReason(GetLastError());
            return nullptr;
        }
    }
    const TAddress address = CrackAddress(url);
    if (!address.refusal.empty()) {
        FErrorText = address.refusal;
        return nullptr;
    }
    TInternetHandle connection(WinHttpConnect(session.get(), WidePtr(address.host), address.port, 0));
    if (!connection) {
        FErrorText = SystemReason(GetLastError());
        return nullptr;
    }
    auto transport =
        std::make_unique<TWinHttpTransport>(std::move(connection), Utf8ToUtf16(method), address.path,
                                            address.secure, FConnectTimeout, FStallTimeout);
    FErrorText = transport->Prepare();
    if (!FErrorText.empty())
        return nullptr;
    return transport;
}

TDownloadResult THTTPSend::Download(const std::string& url, const std::string& path) {
    FDocument.clear();
    const std::u16string widePath = Utf8ToUtf16(path);
    TPartialFileGuard guard(widePath);
    TOwnedHandle file(CreateFileW(WidePtr(widePath), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        FResultCode = 0;
        FStatusLine.clear();
        FLastModified.reset();
        FErrorText = OneLine("Cannot create file \"" + path + "\": " + SystemReason(error));
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
        FErrorText = OneLine("Cannot write file \"" + path + "\": " + SystemReason(writeError));
    } else if (result == TDownloadResult::Done && !IsSuccessStatus(FResultCode)) {
        // An error page or a redirect is no archive.
        result = RefuseStatus();
    }
    if (result == TDownloadResult::Done)
        guard.Keep();
    return result;
}
