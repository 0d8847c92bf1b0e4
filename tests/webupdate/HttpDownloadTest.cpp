// The downloader against a real HTTP server on 127.0.0.1.

#include "webupdate/HttpDownload.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "TestHttpServer.h"

namespace velmora::webupdate {
namespace {

using testing::TestHttpServer;
using Clock = std::chrono::steady_clock;

// Proxy settings of the machine running the tests must not redirect the
// requests to 127.0.0.1; each test sets what it needs.
class ProxyFreeEnvironment {
public:
    ProxyFreeEnvironment()
    {
        for (const char* name : kNames)
            ::velmora::testing::UnsetEnvironment(name);
    }
    ~ProxyFreeEnvironment()
    {
        for (const char* name : kNames)
            ::velmora::testing::UnsetEnvironment(name);
    }

private:
    static constexpr const char* kNames[]
        = {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};
};

struct Result {
    int64_t size = -1;
    std::string body;
    bool hasBlock = false;
    std::vector<std::string> messages;
    double seconds = 0;
};

// `transfer`: through the path a cancellable download takes.
Result Fetch(const std::string& url, const HttpDownloadLimits& limits = {}, HttpTransfer* transfer = nullptr)
{
    Result r;
    HeapBlock block;
    const Clock::time_point start = Clock::now();
    r.size = HttpDownload(
        url, block, [&](std::string_view text) { r.messages.emplace_back(text); }, limits, transfer);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.hasBlock = block != nullptr;
    if (block && r.size > 0)
        r.body.assign(reinterpret_cast<const char*>(block.get()), static_cast<std::size_t>(r.size));
    return r;
}

class HttpDownloadTest : public ::testing::Test {
protected:
    ProxyFreeEnvironment environment_;
    testing::TempFolder root_;
};

// [SECTION] Bodies as sent

struct BodyCase {
    const char* name;
    std::size_t size;
};

class HttpBodyTest : public HttpDownloadTest, public ::testing::WithParamInterface<BodyCase> { };

TEST_P(HttpBodyTest, ReturnsTheBodyByteForByte)
{
    std::string bytes(GetParam().size, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    root_.Write("file.bin", bytes);
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    const Result r = Fetch(server.Url("/file.bin"));
    EXPECT_EQ(r.size, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(r.hasBlock, !bytes.empty());
    EXPECT_TRUE(r.body == bytes);
    EXPECT_TRUE(r.messages.empty());
}

// Around the 20,000-byte pieces in which bodies are read.
INSTANTIATE_TEST_SUITE_P(Sizes, HttpBodyTest,
    ::testing::Values(BodyCase {"Empty", 0}, BodyCase {"OneByte", 1}, BodyCase {"OnePiece", 20000},
        BodyCase {"OnePieceAndOne", 20001}, BodyCase {"ManyPieces", 300000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpDownloadTest, ErrorPageIsTheBody)
{
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    const Result r = Fetch(server.Url("/status/404"));
    ASSERT_GT(r.size, 0);
    EXPECT_NE(r.body.find("No such page"), std::string::npos);
    EXPECT_EQ(server.RequestedPaths().size(), 1u);
}

struct StatusCase {
    const char* name;
    const char* path;
    long status;
};

class HttpStatusTest : public HttpDownloadTest, public ::testing::WithParamInterface<StatusCase> { };

// The body comes whatever the status; the caller is told which it was.
TEST_P(HttpStatusTest, ReportsTheAnswersStatus)
{
    root_.Write("page.html", "<html>a page</html>");
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    HeapBlock block;
    HttpTransfer transfer;
    const int64_t size = HttpDownload(server.Url(GetParam().path), block, {}, {}, &transfer);
    EXPECT_GT(size, 0);
    EXPECT_EQ(transfer.status, GetParam().status);
    EXPECT_FALSE(transfer.cancelled);
}

INSTANTIATE_TEST_SUITE_P(Answers, HttpStatusTest,
    ::testing::Values(StatusCase {"Found", "/page.html", 200}, StatusCase {"NotFound", "/status/404", 404},
        StatusCase {"ServerError", "/status/500", 500}),
    [](const auto& info) { return std::string(info.param.name); });

struct CancelCase {
    const char* name;
    TestHttpServer::Mode mode;
    const char* path;
};

class HttpCancelTest : public HttpDownloadTest, public ::testing::WithParamInterface<CancelCase> { };

// Set from another thread while the server holds the transfer (which would
// otherwise last until the stall limit, and be tried again): the download
// fails as cancelled, and is not tried again.
TEST_P(HttpCancelTest, CancellingEndsAHeldTransfer)
{
    TestHttpServer server(GetParam().mode, root_.Path());
    ASSERT_TRUE(server.Running());
    std::atomic<bool> cancel {false};
    std::thread canceller([&] {
        while (server.RequestedPaths().empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    HeapBlock block;
    HttpTransfer transfer;
    transfer.cancel = &cancel;
    const Clock::time_point start = Clock::now();
    const int64_t size = HttpDownload(server.Url(GetParam().path), block, {}, {}, &transfer);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    canceller.join();
    EXPECT_EQ(size, -1);
    EXPECT_FALSE(block);
    EXPECT_TRUE(transfer.cancelled);
    EXPECT_EQ(server.RequestedPaths().size(), 1u);
    std::printf("cancelled after %.2f s\n", seconds);
}

INSTANTIATE_TEST_SUITE_P(Transfers, HttpCancelTest,
    ::testing::Values(CancelCase {"StalledBody", TestHttpServer::Mode::Files, "/stall/300"},
        CancelCase {"SilentServer", TestHttpServer::Mode::Silent, "/list.xml"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpDownloadTest, CancelledBeforeTheStartAsksForNothing)
{
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    std::atomic<bool> cancel {true};
    HeapBlock block;
    HttpTransfer transfer;
    transfer.cancel = &cancel;
    EXPECT_EQ(HttpDownload(server.Url("/status/404"), block, {}, {}, &transfer), -1);
    EXPECT_TRUE(transfer.cancelled);
    EXPECT_TRUE(server.RequestedPaths().empty());
}

TEST_F(HttpDownloadTest, SendsTheUserAgentAndAsksPastCaches)
{
    root_.Write("a.txt", "a");
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    ASSERT_EQ(Fetch(server.Url("/a.txt")).size, 1);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/a.txt");
    EXPECT_EQ(requests[0].userAgent, "Velmora 3D update checker");
    EXPECT_EQ(requests[0].cacheControl, "no-cache");
    EXPECT_EQ(requests[0].pragma, "no-cache");
}

#if !defined(_WIN32)
// libcurl's proxy variables and CA file; WinInet takes the system's proxy
// settings and certificate store instead.
TEST_F(HttpDownloadTest, GoesThroughTheProxyTheEnvironmentNames)
{
    TestHttpServer proxy(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(proxy.Running());
    ::velmora::testing::SetEnvironment("http_proxy", proxy.Url("").c_str());
    const Result r = Fetch("http://products.example.invalid/list.xml");
    EXPECT_EQ(r.body, "proxied http://products.example.invalid/list.xml");
}

// [SECTION] HTTPS

class HttpsDownloadTest : public HttpDownloadTest {
protected:
    void SetUp() override
    {
        certificate_ = (keys_.Path() / "cert.pem").string();
        const std::string key = (keys_.Path() / "key.pem").string();
        ASSERT_TRUE(testing::MakeSelfSignedCertificate(certificate_, key));
        root_.Write("list.xml", "<a>secure</a>");
        server_ = std::make_unique<TestHttpServer>(root_.Path(), certificate_, key);
        ASSERT_TRUE(server_->Running());
    }

    testing::TempFolder keys_;
    std::string certificate_;
    std::unique_ptr<TestHttpServer> server_;
};

TEST_F(HttpsDownloadTest, TrustedServerGivesTheBody)
{
    HttpDownloadLimits limits;
    limits.caFile = certificate_;
    const Result r = Fetch(server_->SecureUrl("/list.xml"), limits);
    EXPECT_EQ(r.body, "<a>secure</a>");
    EXPECT_EQ(server_->RequestedPaths(), std::vector<std::string> {"/list.xml"});
}

TEST_F(HttpsDownloadTest, CertificateOutsideTheSystemsTrustIsRefused)
{
    const Result r = Fetch(server_->SecureUrl("/list.xml"));
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
    EXPECT_TRUE(server_->RequestedPaths().empty());
}

#endif

// [SECTION] Refused addresses

class HttpSchemeTest : public HttpDownloadTest, public ::testing::WithParamInterface<const char*> { };

TEST_P(HttpSchemeTest, RefusedWithoutARequestOrMessage)
{
    const Result r = Fetch(GetParam());
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
    EXPECT_TRUE(r.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Urls, HttpSchemeTest,
    ::testing::Values("HTTP://127.0.0.1/", "Http://127.0.0.1/", "HTTPS://127.0.0.1/", "ftp://127.0.0.1/",
        "file:///etc/hostname", "127.0.0.1/list.xml", ""));

TEST_F(HttpDownloadTest, OtherSchemesAreNeverSpokenEvenWhenTheTextHoldsHttp)
{
    root_.Write("secret.txt", "secret");
    const Result r = Fetch("file://" + (root_.Path() / "secret.txt").string() + "?http://x");
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
}

// [SECTION] Failures and time-outs

TEST_F(HttpDownloadTest, ClosedPortFailsAfterFiveAttemptsInAboutASecond)
{
    const Result r = Fetch("http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/list.xml");
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_LT(r.seconds, 20.0) << "hang guard";
}

TEST_F(HttpDownloadTest, ConnectionsClosedWithoutAnswerAreTriedFiveTimes)
{
    TestHttpServer server(TestHttpServer::Mode::HangUp, root_.Path());
    ASSERT_TRUE(server.Running());
    const Result r = Fetch(server.Url("/list.xml"));
    EXPECT_EQ(r.size, -1);
    EXPECT_EQ(server.RequestedPaths().size(), 5u);
}

struct CutCase {
    const char* name;
    const char* path;
};

class HttpCutBodyTest : public HttpDownloadTest, public ::testing::WithParamInterface<CutCase> { };

TEST_P(HttpCutBodyTest, BodyEndingEarlyFailsWithoutRetry)
{
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    HttpDownloadLimits limits;
    limits.stallTimeoutMs = 1000;
    const Result r = Fetch(server.Url(GetParam().path), limits);
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
    EXPECT_EQ(server.RequestedPaths().size(), 1u);
    EXPECT_LT(r.seconds, 30.0) << "hang guard";
}

INSTANTIATE_TEST_SUITE_P(Bodies, HttpCutBodyTest,
    ::testing::Values(CutCase {"ClosedPartWay", "/cut/300"}, CutCase {"StalledPartWay", "/stall/300"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpDownloadTest, BodiesBeyondSixteenMebibytesAreRefused)
{
    TestHttpServer server(TestHttpServer::Mode::Files, root_.Path());
    ASSERT_TRUE(server.Running());
    constexpr int64_t kLimit = int64_t {16} << 20;
    const Result atLimit = Fetch(server.Url("/big/" + std::to_string(kLimit)));
    EXPECT_EQ(atLimit.size, kLimit);
    const Result beyond = Fetch(server.Url("/big/" + std::to_string(kLimit + 1)));
    EXPECT_EQ(beyond.size, -1);
    EXPECT_FALSE(beyond.hasBlock);
    // A refused body is not asked for again.
    EXPECT_EQ(server.RequestedPaths().size(), 2u);
}

TEST_F(HttpDownloadTest, SilentServerWithShortLimitsGivesUpAtTheTotalLimit)
{
    TestHttpServer server(TestHttpServer::Mode::Silent, root_.Path());
    ASSERT_TRUE(server.Running());
    HttpDownloadLimits limits;
    limits.stallTimeoutMs = 1000;
    limits.totalTimeoutMs = 2500;
    // The limits hold the same for a download that could be cancelled.
    const std::atomic<bool> never {false};
    HttpTransfer cancellable;
    cancellable.cancel = &never;
    std::size_t before = 0;
    for (HttpTransfer* transfer : {static_cast<HttpTransfer*>(nullptr), &cancellable}) {
        const Result r = Fetch(server.Url("/list.xml"), limits, transfer);
        EXPECT_EQ(r.size, -1);
        // Every attempt waits at least a second for its first byte, so a
        // limit of 2.5 s leaves room for three of the five attempts at most.
        const std::size_t attempts = server.RequestedPaths().size() - before;
        before += attempts;
        EXPECT_GE(attempts, 1u);
        EXPECT_LE(attempts, 3u);
        EXPECT_LT(r.seconds, 20.0) << "hang guard";
    }
    EXPECT_FALSE(cancellable.cancelled);
}

// The one test of the real time-outs: a server that accepts and never
// answers must not hold the caller for much more than a minute.
TEST_F(HttpDownloadTest, SilentServerFailsWithinAMinute)
{
    TestHttpServer server(TestHttpServer::Mode::Silent, root_.Path());
    ASSERT_TRUE(server.Running());
    const Result r = Fetch(server.Url("/list.xml"));
    EXPECT_EQ(r.size, -1);
    EXPECT_FALSE(r.hasBlock);
    EXPECT_LT(r.seconds, 70.0) << "hang guard";
}

} // namespace
} // namespace velmora::webupdate
