#include "Platform/HttpClient.h"
#include "Platform/TempFile.h"

#include "TestServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class HttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = std::make_unique<TempDir>();
        server_ = std::make_unique<TestServer>(root_->Path());
    }
    static void TearDownTestSuite() {
        server_.reset();
        root_.reset();
    }

    static inline std::unique_ptr<TempDir> root_;
    static inline std::unique_ptr<TestServer> server_;
    THTTPSend http_;
};

// The download as the dialog does it: one GET, then the body saved under a fresh temporary name.
TEST_F(HttpClientTest, BinaryBodyIsSavedByteForByte) {
    std::string archive(3 * 1024 * 1024 + 17, '\0');
    std::mt19937 random(2604);
    for (char& byte : archive)
        byte = static_cast<char>(random());
    WriteFile(root_->Path() / "members.rar", archive);

    ASSERT_TRUE(http_.HTTPMethod("GET", server_->Url("/files/members.rar"))) << http_.ErrorText();
    EXPECT_EQ(http_.ResultCode(), 200);

    TempDir download;
    const fs::path saved(MakeTempFileName(download.Path().u16string(), u"~ar"));
    fs::remove(saved);
    WriteFile(saved, http_.Document());
    EXPECT_TRUE(ReadFile(saved) == archive) << "the saved file differs from the served one";
}

TEST_F(HttpClientTest, ErrorPageIsAResponse) {
    ASSERT_TRUE(http_.HTTPMethod("GET", server_->Url("/files/absent.rar"))) << http_.ErrorText();
    EXPECT_EQ(http_.ResultCode(), 404);
    EXPECT_EQ(http_.Document(), "<html><body>404 Not Found</body></html>");
}

TEST_F(HttpClientTest, RedirectIsReturnedNotFollowed) {
    ASSERT_TRUE(http_.HTTPMethod("GET", server_->Url("/redirect"))) << http_.ErrorText();
    EXPECT_EQ(http_.ResultCode(), 302);
    EXPECT_EQ(http_.Document(), "moved to /target");

    ASSERT_TRUE(http_.HTTPMethod("GET", server_->Url("/requests")));
    EXPECT_NE(http_.Document().find("/redirect"), std::string::npos);
    EXPECT_EQ(http_.Document().find("/target"), std::string::npos) << "the redirect was followed";
}

TEST_F(HttpClientTest, IncompleteExchangesFail) {
    const ClosedPort closed;
    const struct {
        const char* name;
        std::string url;
    } cases[] = {
        {"nothing listens", closed.Url("/files/members.rar")},
        {"body shorter than its Content-Length", server_->Url("/short")},
        {"chunked body without its last chunk", server_->Url("/broken-chunks")},
        {"not an HTTP address", "file:///etc/hostname"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(http_.HTTPMethod("GET", c.url));
        EXPECT_FALSE(http_.ErrorText().empty());
    }
}

// The server pauses far longer than the shortened limit and then completes the body, so a client that
// ignores the limit succeeds.
TEST_F(HttpClientTest, StalledTransferFails) {
    http_.SetStallTimeout(std::chrono::seconds(2));
    EXPECT_FALSE(http_.HTTPMethod("GET", server_->Url("/stall")));
    EXPECT_EQ(http_.Document(), std::string(100, 'x')) << "the bytes that arrived before the stall";
}

// The client verifies certificates against the trust store; which store that is comes from
// CURL_CA_BUNDLE, which these tests set for their own process only.
class HttpsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        const fs::path certificate = dir_->Path() / "cert.pem";
        const fs::path key = dir_->Path() / "key.pem";
        const std::string command = std::string(OPENSSL_PROGRAM) +
                                    " req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
                                    " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                                    key.string() + "' -out '" + certificate.string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        server_ = std::make_unique<TestServer>(dir_->Path(), TestServer::Tls{certificate, key});
        certificate_ = certificate.string();
    }
    void SetUp() override { ASSERT_TRUE(server_) << "the https server did not start"; }
    static void TearDownTestSuite() {
        server_.reset();
        dir_.reset();
    }

    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<TestServer> server_;
    static inline std::string certificate_;
    THTTPSend http_;
};

TEST_F(HttpsTest, SelfSignedCertificateIsRefused) {
    const ScopedEnv systemStore("CURL_CA_BUNDLE", nullptr);
    EXPECT_FALSE(http_.HTTPMethod("GET", server_->Url("/target")));
    EXPECT_EQ(http_.Document(), "");
}

TEST_F(HttpsTest, TrustedCertificateIsAccepted) {
    const ScopedEnv trusted("CURL_CA_BUNDLE", certificate_.c_str());
    ASSERT_TRUE(http_.HTTPMethod("GET", server_->Url("/target"))) << http_.ErrorText();
    EXPECT_EQ(http_.ResultCode(), 200);
    EXPECT_EQ(http_.Document(), "the redirect target");
}

} // namespace
