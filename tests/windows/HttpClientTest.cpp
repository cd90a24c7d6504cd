// The download client on WinHTTP against tests/http/http_test_server.py on 127.0.0.1, started by the
// ctest fixture http-server.sh, which writes the servers' ports beside this program.
#include "Platform/HttpClient.h"

// Before windows.h, which would bring the old winsock.h otherwise.
#include <winsock2.h>

#include "Platform/Unicode.h"
#include "Platform/win32/HttpClient.h"
#include "tests/windows/TestFolder.h"
#include "tests/windows/Wine.h"

#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string Utf8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

std::string ServerUrl(const char16_t* portFile, const char* scheme, const std::string& path) {
    std::string port = ReadFile(ProgramFolder() + u"\\" + portFile);
    port.erase(port.find_last_not_of("\r\n") + 1);
    return scheme + std::string("://127.0.0.1:") + port + path;
}

std::string Url(const std::string& path) {
    return ServerUrl(u"http-server.port", "http", path);
}

// A socket on 127.0.0.1, bound and, when asked, listening with a backlog that is kept full, so that a
// connection to it is refused, or waits for an accept that never comes.
class TLocalPort {
public:
    explicit TLocalPort(bool listening) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        FSocket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (FSocket == INVALID_SOCKET ||
            bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot reserve a port");
        FPort = ntohs(address.sin_port);
        if (!listening)
            return;
        listen(FSocket, 1);
        for (int i = 0; i < 4; ++i) {
            const SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            FFillers.push_back(filler);
        }
    }
    ~TLocalPort() {
        for (const SOCKET filler : FFillers)
            closesocket(filler);
        closesocket(FSocket);
        WSACleanup();
    }
    TLocalPort(const TLocalPort&) = delete;
    TLocalPort& operator=(const TLocalPort&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + path;
    }

private:
    SOCKET FSocket = INVALID_SOCKET;
    std::vector<SOCKET> FFillers;
    int FPort = 0;
};

class HttpClientTest : public testing::Test {
protected:
    std::string Target() { return Utf8(FFolder / u"~ar1.tmp"); }

    TTestFolder FFolder;
    THTTPSend FHttp;
};

TEST_F(HttpClientTest, DownloadWritesTheBodyAndReportsProgressFromZero) {
    std::vector<std::uint64_t> reports;
    FHttp.SetProgress([&](std::uint64_t received) {
        reports.push_back(received);
        return true;
    });
    // A folder whose name the ANSI code page cannot write.
    const std::u16string folder =
        FFolder / u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";
    ASSERT_TRUE(CreateDirectoryW(WidePtr(folder), nullptr));
    const std::u16string target = folder + u"\\~ar1.tmp";
    ASSERT_EQ(FHttp.Download(Url("/files/members.txt"), Utf8(target)), TDownloadResult::Done)
        << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 200);
    EXPECT_EQ(FHttp.StatusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(FHttp.ErrorText(), "");
    EXPECT_EQ(FHttp.Document(), "");
    EXPECT_EQ(ReadFile(target), "UR5ABC UT1AA US0KW\n");
    EXPECT_EQ(FHttp.LastModified(), std::optional<std::int64_t>(1741953600)) << "2025-03-14 12:00 UTC";
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), 0u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

    // A larger body than one read takes, and one of many chunks.
    const struct {
        const char* path;
        std::size_t size;
    } bodies[] = {{"/large/300000", 300000}, {"/large-chunked/3000000", 3000000}};
    for (const auto& body : bodies) {
        SCOPED_TRACE(body.path);
        ASSERT_EQ(FHttp.Download(Url(body.path), Utf8(target)), TDownloadResult::Done) << FHttp.ErrorText();
        EXPECT_EQ(ReadFile(target), std::string(body.size, '\0'));
        EXPECT_EQ(FHttp.LastModified(), std::nullopt) << "a date from an earlier response";
    }
}

TEST_F(HttpClientTest, HTTPMethodKeepsAnyStatusAndFollowsNoRedirect) {
    ASSERT_TRUE(FHttp.HTTPMethod("GET", Url("/files/absent.rar"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 404);
    EXPECT_EQ(FHttp.Document(), "<html><body>404 Not Found</body></html>");

    ASSERT_TRUE(FHttp.HTTPMethod("GET", Url("/redirect"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 302);
    EXPECT_EQ(FHttp.Document(), "moved to /target");
}

// Every failed download says why and leaves no file behind.
TEST_F(HttpClientTest, FailedDownloadsSayWhyAndLeaveNoFile) {
    const TLocalPort closed(false);
    const struct {
        const char* name;
        std::string url;
        TDownloadResult result;
        std::string reason; // the whole reason, or a part of it after '~'
    } cases[] = {
        {"not found", Url("/files/absent.rar"), TDownloadResult::HttpError, "HTTP/1.1 404 Not Found"},
        {"server error", Url("/status/500"), TDownloadResult::HttpError,
         "HTTP/1.1 500 Internal Server Error"},
        {"redirect", Url("/redirect"), TDownloadResult::HttpError, "HTTP/1.1 302 Found"},
        {"refused", closed.Url("/files/members.txt"), TDownloadResult::Failed,
         "A connection with the server could not be established"},
        {"body shorter than its Content-Length", Url("/short"), TDownloadResult::Failed,
         "the server closed the connection after 100 of the 1000 bytes it announced"},
        {"not an HTTP address", "file:///etc/hostname", TDownloadResult::Failed,
         "~Cannot read the address \"file:///etc/hostname\": "},
        {"no address", "http://", TDownloadResult::Failed, "~Cannot read the address \"http://\": "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = Target();
        WriteFile(FFolder / u"~ar1.tmp", "");
        EXPECT_EQ(FHttp.Download(c.url, target), c.result);
        if (c.reason.starts_with('~'))
            EXPECT_NE(FHttp.ErrorText().find(c.reason.substr(1)), std::string::npos) << FHttp.ErrorText();
        else
            EXPECT_EQ(FHttp.ErrorText(), c.reason);
        EXPECT_FALSE(FHttp.ErrorText().empty());
        EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
    }
    ASSERT_TRUE(FHttp.HTTPMethod("GET", Url("/requests")));
    EXPECT_NE(FHttp.Document().find("/redirect"), std::string::npos);
    EXPECT_EQ(FHttp.Document().find("/target"), std::string::npos) << "the redirect was followed";
}

// Wine's WinHTTP takes the end of the connection for the end of a chunked body, so there the client
// cannot tell; Windows' reports the connection's error.
TEST_F(HttpClientTest, BrokenChunkedStreamFails) {
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine's WinHTTP ends a broken chunked body as if it were whole";
    EXPECT_EQ(FHttp.Download(Url("/broken-chunks"), Target()), TDownloadResult::Failed);
    EXPECT_FALSE(FHttp.ErrorText().empty());
    EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
}

TEST_F(HttpClientTest, FileThatCannotBeCreatedIsNamed) {
    const std::string missing = Utf8(FFolder / u"missing\\~ar1.tmp");
    EXPECT_EQ(FHttp.Download(Url("/files/members.txt"), missing), TDownloadResult::Failed);
    const std::string start = "Cannot create file \"" + missing + "\": ";
    EXPECT_EQ(FHttp.ErrorText().rfind(start, 0), 0u) << FHttp.ErrorText();
    EXPECT_GT(FHttp.ErrorText().size(), start.size()) << "the system's reason is missing";
}

TEST_F(HttpClientTest, LimitsEndTheTransfer) {
    const struct {
        const char* name;
        std::string url;
        std::uint64_t sizeLimit;
        std::chrono::milliseconds timeLimit;
        TDownloadResult result;
        std::string reason;
    } cases[] = {
        {"length announced", Url("/large/5000"), 1000, DownloadTimeLimit, TDownloadResult::TooLarge,
         "the file is larger than the download limit of 1000 bytes"},
        {"no length", Url("/large-chunked/100000"), 1000, DownloadTimeLimit, TDownloadResult::TooLarge,
         "the file is larger than the download limit of 1000 bytes"},
        {"time limit", Url("/trickle"), DownloadSizeLimit, 1s, TDownloadResult::TimedOut,
         "the download took longer than the limit of 1 second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FHttp.SetSizeLimit(c.sizeLimit);
        FHttp.SetTimeLimit(c.timeLimit);
        EXPECT_EQ(FHttp.Download(c.url, Target()), c.result);
        EXPECT_EQ(FHttp.ErrorText(), c.reason);
        EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
    }
}

// The server sends 100 bytes, then pauses far longer than the shortened limit and completes the body, so
// a client that ignores the limit succeeds.
TEST_F(HttpClientTest, StalledTransferFails) {
    FHttp.SetStallTimeout(2s);
    EXPECT_EQ(FHttp.Download(Url("/stall"), Target()), TDownloadResult::Failed);
    EXPECT_EQ(FHttp.ErrorText().rfind("no data arrived for 2 seconds (", 0), 0u) << FHttp.ErrorText();
    EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
}

TEST_F(HttpClientTest, ProgressCallbackCancels) {
    {
        SCOPED_TRACE("while the body trickles in");
        FHttp.SetProgress([](std::uint64_t received) { return received < 3; });
        EXPECT_EQ(FHttp.Download(Url("/trickle"), Target()), TDownloadResult::Cancelled);
        EXPECT_EQ(FHttp.ErrorText(), "the download was cancelled by the user");
        EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
    }
    {
        // The listener's backlog is full: the connection waits until the connect time-out, so only a
        // client that reports progress while connecting gets to cancel; one that does not fails. The
        // time-out is short because Wine's WinHTTP lets go of a connecting request only when the attempt
        // ends, and the client waits for that.
        SCOPED_TRACE("while connecting");
        const TLocalPort busy(true);
        int reports = 0;
        FHttp.SetConnectTimeout(std::chrono::seconds(2));
        FHttp.SetProgress([&](std::uint64_t) { return ++reports < 3; });
        EXPECT_EQ(FHttp.Download(busy.Url("/files/members.txt"), Target()), TDownloadResult::Cancelled);
        EXPECT_EQ(reports, 3);
        EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
    }
    {
        SCOPED_TRACE("by an exception");
        FHttp.SetProgress([](std::uint64_t received) -> bool {
            if (received > 0)
                throw std::runtime_error("report failed");
            return true;
        });
        EXPECT_THROW(FHttp.Download(Url("/trickle"), Target()), std::runtime_error);
        EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
    }
}

// WinHTTP calls back into the plug-in's code on its own threads: once the client is gone, the host may
// unload the plug-in, so no request may be left that WinHTTP could still call back for, though each was
// abandoned with an operation in flight. Wine's WinHTTP lets go of a request that is connecting only when
// the attempt ends, so the attempt is limited to a second there, well within what the client waits for.
TEST(HttpClientEnd, NoCallbackOutlivesTheClient) {
    TTestFolder folder;
    const TLocalPort busy(true);
    const struct {
        const char* name;
        std::string url;
    } cases[] = {
        {"cancelled while connecting", busy.Url("/files/members.txt")},
        {"cancelled while the response is on its way", Url("/trickle")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            THTTPSend http;
            http.SetConnectTimeout(std::chrono::seconds(1));
            int reports = 0;
            http.SetProgress(
                [&](std::uint64_t) { return ++reports < 2; }); // the first report is at the start
            EXPECT_EQ(http.Download(c.url, Utf8(folder / u"~ar1.tmp")), TDownloadResult::Cancelled);
        }
        EXPECT_EQ(PendingWinHttpCallbacks(), 0u);
    }
}

// The self-signed certificate is in no store of the system's. Wine's secure channel ends the handshake
// with Python's server before it gets to the certificate, so there the reason is the channel's.
TEST_F(HttpClientTest, SelfSignedCertificateIsRefused) {
    const std::string url = ServerUrl(u"https-server.port", "https", "/target");
    EXPECT_FALSE(FHttp.HTTPMethod("GET", url));
    EXPECT_EQ(FHttp.Document(), "");
    EXPECT_EQ(FHttp.Download(url, Target()), TDownloadResult::Failed);
    const std::string reason = RunningUnderWine() ? "secure channel" : "certificate";
    EXPECT_NE(FHttp.ErrorText().find(reason), std::string::npos) << FHttp.ErrorText();
    EXPECT_FALSE(FileExists(FFolder / u"~ar1.tmp"));
}

} // namespace
