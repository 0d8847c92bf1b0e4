#include "TestHttpServer.h"

// Starting and stopping the server on Windows. Under Wine, CreateProcess
// runs the machine's own python3 when given its Unix path, but neither pipes
// nor signals reach it: the server gets Unix paths for its folder and files,
// writes its port to a file, and ends when the test removes that file.

#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

namespace velmora::webupdate::testing {
namespace {

// Wine's own path conversion; on Windows itself the path stays as it is.
std::string ServerPath(const std::filesystem::path& path)
{
    using ToUnix = char*(CDECL*)(const wchar_t*);
    static const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return path.string();
    char* unix = toUnix(std::filesystem::absolute(path).wstring().c_str());
    if (!unix)
        return path.string();
    std::string converted(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return converted;
}

// Appends one argument in double quotes, as the C runtime splits them.
void AppendQuoted(std::string& commandLine, const std::string& argument)
{
    if (!commandLine.empty())
        commandLine.push_back(' ');
    commandLine.push_back('"');
    for (char c : argument) {
        if (c == '"')
            commandLine.push_back('\\');
        commandLine.push_back(c);
    }
    commandLine.push_back('"');
}

// Waits for the server's port file ("PORT <n>"); generous, only a hang guard.
int ReadPort(const std::filesystem::path& portFile)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(portFile);
        std::string word;
        int port = 0;
        if (in >> word >> port && word == "PORT")
            return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

} // namespace

void TestHttpServer::Start(std::vector<std::string> args)
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    if (::GetTempPathW(MAX_PATH + 1, folder) == 0 || ::GetTempFileNameW(folder, L"vhl", 0, name) == 0) {
        ADD_FAILURE() << "no temporary file for the server's log";
        return;
    }
    log_ = name;
    portFile_ = log_;
    portFile_ += ".port";
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--root")
            args[i + 1] = ServerPath(args[i + 1]);
    args.insert(args.end(), {"--log", ServerPath(log_), "--port-file", ServerPath(portFile_)});

    std::string commandLine;
    AppendQuoted(commandLine, VELMORA_PYTHON3);
    AppendQuoted(commandLine, VELMORA_TEST_SERVER);
    for (const std::string& a : args)
        AppendQuoted(commandLine, a);
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info {};
    if (!::CreateProcessA(
            nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "python3 could not be started (error " << ::GetLastError() << ")";
        return;
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    port_ = ReadPort(portFile_);
    if (port_ <= 0)
        ADD_FAILURE() << "the test server did not report its port";
}

void TestHttpServer::Stop()
{
    // The server polls its port file and ends within a tenth of a second.
    std::error_code ec;
    if (!portFile_.empty())
        std::filesystem::remove(portFile_, ec);
}

int ClosedPort()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return 0;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::closesocket(s);
    return port;
}

} // namespace velmora::webupdate::testing
