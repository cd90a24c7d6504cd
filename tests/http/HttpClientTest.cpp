#include "Platform/HttpClient.h"
#include "Includes/TempFileName.h"
#include "Platform/TempFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Files.h"

#include "TestServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class HttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        FRoot = std::make_unique<TempDir>();
        FServer = std::make_unique<TestServer>(FRoot->Path());
    }
    static void TearDownTestSuite() {
        FServer.reset();
        FRoot.reset();
    }

    // A fresh file in the download folder, as the run makes it before a download.
    std::string Target() { return fs::path(MakeTempFileName(FDownload.Path().u16string(), u"~ar")).string(); }

    static inline std::unique_ptr<TempDir> FRoot;
    static inline std::unique_ptr<TestServer> FServer;
    TempDir FDownload;
    THTTPSend FHttp;
};

std::uint64_t PeakMemoryBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

// The download as the dialog does it: one GET, then the body saved under a fresh temporary name.
TEST_F(HttpClientTest, BinaryBodyIsSavedByteForByte) {
    std::string archive(3 * 1024 * 1024 + 17, '\0');
    std::mt19937 random(2604);
    for (char& byte : archive)
        byte = static_cast<char>(random());
    WriteFile(FRoot->Path() / "members.rar", archive);

    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/files/members.rar"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 200);

    TempDir download;
    const fs::path saved(MakeTempFileName(download.Path().u16string(), u"~ar"));
    fs::remove(saved);
    WriteFile(saved, FHttp.Document());
    EXPECT_TRUE(ReadFile(saved) == archive) << "the saved file differs from the served one";
}

TEST_F(HttpClientTest, ErrorPageIsAResponse) {
    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/files/absent.rar"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 404);
    EXPECT_EQ(FHttp.Document(), "<html><body>404 Not Found</body></html>");
}

TEST_F(HttpClientTest, RedirectIsReturnedNotFollowed) {
    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/redirect"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 302);
    EXPECT_EQ(FHttp.Document(), "moved to /target");

    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/requests")));
    EXPECT_NE(FHttp.Document().find("/redirect"), std::string::npos);
    EXPECT_EQ(FHttp.Document().find("/target"), std::string::npos) << "the redirect was followed";
}

TEST_F(HttpClientTest, IncompleteExchangesFail) {
    const ClosedPort closed;
    const struct {
        const char* name;
        std::string url;
    } cases[] = {
        {"nothing listens", closed.Url("/files/members.rar")},
        {"body shorter than its Content-Length", FServer->Url("/short")},
        {"chunked body without its last chunk", FServer->Url("/broken-chunks")},
        {"not an HTTP address", "file:///etc/hostname"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(FHttp.HTTPMethod("GET", c.url));
        EXPECT_FALSE(FHttp.ErrorText().empty());
    }
}

// The server pauses far longer than the shortened limit and then completes the body, so a client that
// ignores the limit succeeds.
TEST_F(HttpClientTest, StalledTransferFails) {
    FHttp.SetStallTimeout(std::chrono::seconds(2));
    EXPECT_FALSE(FHttp.HTTPMethod("GET", FServer->Url("/stall")));
    EXPECT_EQ(FHttp.Document(), std::string(100, 'x')) << "the bytes that arrived before the stall";
}

TEST_F(HttpClientTest, DownloadStreamsTheBodyIntoTheGivenFile) {
    std::string archive(2 * 1024 * 1024 + 5, '\0');
    std::mt19937 random(2605);
    for (char& byte : archive)
        byte = static_cast<char>(random());
    WriteFile(FRoot->Path() / "members.rar", archive);
    std::vector<std::uint64_t> reports;
    FHttp.SetProgress([&](std::uint64_t received) {
        reports.push_back(received);
        return true;
    });

    const std::string target = Target();
    ASSERT_EQ(FHttp.Download(FServer->Url("/files/members.rar"), target), TDownloadResult::Done)
        << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 200);
    EXPECT_EQ(FHttp.StatusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(FHttp.ErrorText(), "");
    EXPECT_EQ(FHttp.Document(), "") << "the body went to memory";
    EXPECT_TRUE(ReadFile(target) == archive) << "the saved file differs from the served one";
    ASSERT_FALSE(reports.empty()) << "no progress report";
    EXPECT_EQ(reports.front(), 0u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

// The server's Last-Modified is kept for the caller, as a date; a response without one gives none.
TEST_F(HttpClientTest, LastModifiedIsTheServersDateOfTheFile) {
    const fs::path file = FRoot->Path() / "dated.rar";
    WriteFile(file, "Rar!");
    ASSERT_EQ(std::system(("touch -d @1741953600 " + file.string()).c_str()), 0); // 2025-03-14 12:00 UTC
    ASSERT_EQ(FHttp.Download(FServer->Url("/files/dated.rar"), Target()), TDownloadResult::Done)
        << FHttp.ErrorText();
    EXPECT_EQ(FHttp.LastModified(), std::optional<std::int64_t>(1741953600));
    ASSERT_EQ(FHttp.Download(FServer->Url("/large/10"), Target()), TDownloadResult::Done)
        << FHttp.ErrorText();
    EXPECT_EQ(FHttp.LastModified(), std::nullopt) << "a date from an earlier response";
}

// A download that is no archive fails with the reason the user is shown, and leaves nothing behind.
TEST_F(HttpClientTest, FailedDownloadsSayWhyAndLeaveNoFile) {
    const ClosedPort closed;
    const struct {
        const char* name;
        std::string url;
        TDownloadResult result;
        std::string reason; // the whole reason, or a part of it after '~'
    } cases[] = {
        {"not found", FServer->Url("/files/absent.rar"), TDownloadResult::HttpError,
         "HTTP/1.1 404 Not Found"},
        {"server error", FServer->Url("/status/500"), TDownloadResult::HttpError,
         "HTTP/1.1 500 Internal Server Error"},
        {"redirect", FServer->Url("/redirect"), TDownloadResult::HttpError, "HTTP/1.1 302 Found"},
        {"refused", closed.Url("/files/members.rar"), TDownloadResult::Failed, "~Couldn't connect to server"},
        {"body shorter than its Content-Length", FServer->Url("/short"), TDownloadResult::Failed,
         "~transfer closed with 900 bytes remaining to read"},
        {"not an HTTP address", "file:///etc/hostname", TDownloadResult::Failed, "~not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = Target();
        EXPECT_EQ(FHttp.Download(c.url, target), c.result);
        if (c.reason.starts_with('~'))
            EXPECT_NE(FHttp.ErrorText().find(c.reason.substr(1)), std::string::npos) << FHttp.ErrorText();
        else
            EXPECT_EQ(FHttp.ErrorText(), c.reason);
        EXPECT_FALSE(fs::exists(target));
    }
    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/requests")));
    EXPECT_EQ(FHttp.Document().find("/target"), std::string::npos) << "the redirect was followed";
}

TEST_F(HttpClientTest, FileThatCannotBeWrittenEndsTheDownloadNamingIt) {
    WriteFile(FRoot->Path() / "three.rar", std::string(3 << 20, 'r'));
    const std::string missingFolder = (FDownload.Path() / "missing" / "~ar1.tmp").string();
    EXPECT_EQ(FHttp.Download(FServer->Url("/files/three.rar"), missingFolder), TDownloadResult::Failed);
    EXPECT_EQ(FHttp.ErrorText(), "Cannot create file \"" + missingFolder + "\": No such file or directory");

    // A full disk, as the file size limit of this process makes it: writes fail part way.
    const std::string target = Target();
    TDownloadResult result;
    {
        TFileSizeLimit full(1 << 20);
        result = FHttp.Download(FServer->Url("/files/three.rar"), target);
    }
    EXPECT_EQ(result, TDownloadResult::Failed);
    EXPECT_EQ(FHttp.ErrorText(), "Cannot write file \"" + target + "\": File too large");
    EXPECT_FALSE(fs::exists(target));
}

// The body passes through a small buffer to the file: memory stays far below the body's size, and the
// size limit stops a body that announces no length at the limit.
TEST_F(HttpClientTest, LargeBodiesKeepMemoryBoundedAndStopAtTheSizeLimit) {
    constexpr std::uint64_t bodySize = 300'000'000;
    constexpr std::uint64_t allowedGrowth = 48 << 20;
    const std::uint64_t peakBefore = PeakMemoryBytes();
    const struct {
        const char* name;
        std::string url;
    } tooLarge[] = {
        {"length announced", FServer->Url("/large/" + std::to_string(bodySize))},
        {"no length", FServer->Url("/large-chunked/" + std::to_string(bodySize))},
    };
    for (const auto& c : tooLarge) {
        SCOPED_TRACE(c.name);
        const std::string target = Target();
        EXPECT_EQ(FHttp.Download(c.url, target), TDownloadResult::TooLarge);
        EXPECT_EQ(FHttp.ErrorText(),
                  "the file is larger than the download limit of 268435456 bytes (256 MiB)");
        EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_LT(PeakMemoryBytes(), peakBefore + allowedGrowth);

    // Under a raised limit the whole body arrives, still in bounded memory.
    FHttp.SetSizeLimit(bodySize);
    const std::string target = Target();
    ASSERT_EQ(FHttp.Download(FServer->Url("/large-chunked/" + std::to_string(bodySize)), target),
              TDownloadResult::Done)
        << FHttp.ErrorText();
    EXPECT_EQ(fs::file_size(target), bodySize);
    EXPECT_LT(PeakMemoryBytes(), peakBefore + allowedGrowth);
    fs::remove(target);

    FHttp.SetSizeLimit(1000);
    EXPECT_FALSE(FHttp.HTTPMethod("GET", FServer->Url("/large-chunked/1001")));
    EXPECT_EQ(FHttp.ErrorText(), "the file is larger than the download limit of 1000 bytes");
}

// The server sends a byte every 0.2 s: fast enough for the stall limit, so only the time limit or the
// user ends it.
TEST_F(HttpClientTest, TrickleEndsAtTheTimeLimitOrWhenCancelled) {
    std::vector<std::uint64_t> reports;
    FHttp.SetProgress([&](std::uint64_t received) {
        reports.push_back(received);
        return true;
    });
    FHttp.SetTimeLimit(std::chrono::seconds(1));
    std::string target = Target();
    EXPECT_EQ(FHttp.Download(FServer->Url("/trickle"), target), TDownloadResult::TimedOut);
    EXPECT_EQ(FHttp.ErrorText(), "the download took longer than the limit of 1 second");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_GT(reports.size(), 2u) << "the progress is reported while bytes trickle in";
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

    // Close pressed once a few bytes are in.
    FHttp.SetTimeLimit(DownloadTimeLimit);
    FHttp.SetProgress([](std::uint64_t received) { return received < 3; });
    target = Target();
    EXPECT_EQ(FHttp.Download(FServer->Url("/trickle"), target), TDownloadResult::Cancelled);
    EXPECT_EQ(FHttp.ErrorText(), "the download was cancelled by the user");
    EXPECT_FALSE(fs::exists(target));

    // An error raised in the report (a failing host call) ends the download and goes on to the caller.
    FHttp.SetProgress([](std::uint64_t received) -> bool {
        if (received > 0)
            throw std::runtime_error("report failed");
        return true;
    });
    target = Target();
    EXPECT_THROW(FHttp.Download(FServer->Url("/trickle"), target), std::runtime_error);
    EXPECT_FALSE(fs::exists(target));
}

// The client verifies certificates against the trust store; which store that is comes from
// CURL_CA_BUNDLE, which these tests set for their own process only.
class HttpsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        FDir = std::make_unique<TempDir>();
        const fs::path certificate = FDir->Path() / "cert.pem";
        const fs::path key = FDir->Path() / "key.pem";
        const std::string command = std::string(OPENSSL_PROGRAM) +
                                    " req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                                    " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                                    key.string() + "' -out '" + certificate.string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        FServer = std::make_unique<TestServer>(FDir->Path(), TestServer::Tls{certificate, key});
        FCertificate = certificate.string();
    }
    void SetUp() override { ASSERT_TRUE(FServer) << "the https server did not start"; }
    static void TearDownTestSuite() {
        FServer.reset();
        FDir.reset();
    }

    static inline std::unique_ptr<TempDir> FDir;
    static inline std::unique_ptr<TestServer> FServer;
    static inline std::string FCertificate;
    THTTPSend FHttp;
};

TEST_F(HttpsTest, SelfSignedCertificateIsRefused) {
    const ScopedEnv systemStore("CURL_CA_BUNDLE", nullptr);
    EXPECT_FALSE(FHttp.HTTPMethod("GET", FServer->Url("/target")));
    EXPECT_EQ(FHttp.Document(), "");

    const std::string target = (FDir->Path() / "~ar1.tmp").string();
    EXPECT_EQ(FHttp.Download(FServer->Url("/target"), target), TDownloadResult::Failed);
    EXPECT_EQ(FHttp.ErrorText(), "SSL certificate problem: self-signed certificate");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(HttpsTest, TrustedCertificateIsAccepted) {
    const ScopedEnv trusted("CURL_CA_BUNDLE", FCertificate.c_str());
    ASSERT_TRUE(FHttp.HTTPMethod("GET", FServer->Url("/target"))) << FHttp.ErrorText();
    EXPECT_EQ(FHttp.ResultCode(), 200);
    EXPECT_EQ(FHttp.Document(), "the redirect target");

    const std::string target = (FDir->Path() / "~ar1.tmp").string();
    ASSERT_EQ(FHttp.Download(FServer->Url("/target"), target), TDownloadResult::Done) << FHttp.ErrorText();
    EXPECT_EQ(ReadFile(target), "the redirect target");
}

} // namespace
