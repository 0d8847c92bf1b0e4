#include "TestHttpServer.h"

// Starting and stopping the server on POSIX systems.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

extern char** environ;

namespace velmora::webupdate::testing {
namespace {

// Reads the server's first line ("PORT <n>"); generous, only a hang guard.
int ReadPort(int fd)
{
    std::string line;
    for (;;) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 30000) <= 0)
            return 0;
        char c = 0;
        if (::read(fd, &c, 1) != 1)
            return 0;
        if (c == '\n')
            break;
        line += c;
    }
    if (line.rfind("PORT ", 0) != 0)
        return 0;
    return std::atoi(line.c_str() + 5);
}

} // namespace

void TestHttpServer::Start(std::vector<std::string> args)
{
    char logName[] = "/tmp/velmora-http-log-XXXXXX";
    const int logFd = ::mkstemp(logName);
    if (logFd >= 0)
        ::close(logFd);
    log_ = logName;

    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    args.insert(args.begin(), {"python3", VELMORA_TEST_SERVER});
    args.insert(args.end(), {"--log", log_.string()});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        ADD_FAILURE() << "python3 could not be started";
        return;
    }
    process_ = pid;
    port_ = ReadPort(pipeFds[0]);
    ::close(pipeFds[0]);
    if (port_ <= 0)
        ADD_FAILURE() << "the test server did not report its port";
}

void TestHttpServer::Stop()
{
    if (process_ > 0) {
        ::kill(static_cast<pid_t>(process_), SIGTERM);
        int status = 0;
        ::waitpid(static_cast<pid_t>(process_), &status, 0);
    }
    process_ = -1;
}

bool MakeSelfSignedCertificate(const std::string& certificate, const std::string& key)
{
    std::vector<std::string> args {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
        "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace velmora::webupdate::testing
