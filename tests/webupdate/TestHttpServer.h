#pragma once
// A real HTTP server on 127.0.0.1 for the web update's tests: the project's
// python script, started per test and stopped with it.

#include <cstdint>

#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace velmora::webupdate::testing {

struct LoggedRequest {
    std::string path;
    std::string userAgent;
    std::string cacheControl;
    std::string pragma;
};

class TestHttpServer {
public:
    enum class Mode { Files, Silent, HangUp };

    // Serves the files below `root` (Files), answers nothing (Silent) or
    // closes every connection at once (HangUp).
    TestHttpServer(Mode mode, const std::filesystem::path& root);
    // Serves the files below `root` over HTTPS with this certificate.
    TestHttpServer(const std::filesystem::path& root, const std::string& certificate, const std::string& key);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    bool Running() const { return port_ > 0; }
    int Port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;
    // "https://127.0.0.1:<port>" + path.
    std::string SecureUrl(const std::string& path) const;
    // The requests served so far, in order.
    std::vector<LoggedRequest> Requests() const;
    std::vector<std::string> RequestedPaths() const;

private:
    // Starts python3 on the server script with `args`, reads the port it
    // reports and fills process_ or portFile_ (TestHttpServerPosix.cpp or
    // TestHttpServerWin32.cpp); Stop ends it.
    void Start(std::vector<std::string> args);
    void Stop();

    // A pid on POSIX systems; on Windows the server ends when its port file
    // is removed.
    intptr_t process_ = -1;
    std::filesystem::path portFile_;
    int port_ = 0;
    std::filesystem::path log_;
};

#if !defined(_WIN32)
// Makes a self-signed certificate for 127.0.0.1 with the openssl program;
// false when it cannot.
bool MakeSelfSignedCertificate(const std::string& certificate, const std::string& key);
#endif

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
int ClosedPort();

using ::velmora::testing::ReadFileBytes;
using ::velmora::testing::TempFolder;

// Every regular file below `root`, as paths relative to it, sorted.
std::vector<std::string> ListFiles(const std::filesystem::path& root);

} // namespace velmora::webupdate::testing
