#include "TestHttpServer.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace velmora::webupdate::testing {
namespace {

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}

const char* ModeName(TestHttpServer::Mode mode)
{
    switch (mode) {
    case TestHttpServer::Mode::Files:
        return "files";
    case TestHttpServer::Mode::Silent:
        return "silent";
    case TestHttpServer::Mode::HangUp:
        return "hangup";
    }
    return "files";
}

} // namespace

TestHttpServer::TestHttpServer(Mode mode, const std::filesystem::path& root)
{
    Start({"--mode", ModeName(mode), "--root", root.string()});
}

TestHttpServer::TestHttpServer(
    const std::filesystem::path& root, const std::string& certificate, const std::string& key)
{
    Start({"--mode", "files", "--root", root.string(), "--tls-cert", certificate, "--tls-key", key});
}

TestHttpServer::~TestHttpServer()
{
    Stop();
    std::error_code ec;
    std::filesystem::remove(log_, ec);
}

std::string TestHttpServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string TestHttpServer::SecureUrl(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<LoggedRequest> TestHttpServer::Requests() const
{
    std::vector<LoggedRequest> requests;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = SplitTabs(line);
        f.resize(4);
        requests.push_back({f[0], f[1], f[2], f[3]});
    }
    return requests;
}

std::vector<std::string> TestHttpServer::RequestedPaths() const
{
    std::vector<std::string> paths;
    for (const LoggedRequest& r : Requests())
        paths.push_back(r.path);
    return paths;
}

std::vector<std::string> ListFiles(const std::filesystem::path& root)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file())
            files.push_back(std::filesystem::relative(it->path(), root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace velmora::webupdate::testing
