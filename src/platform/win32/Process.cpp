#include "platform/Process.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WinHandles.h"

#include <algorithm>
#include <utility>

namespace velmora::platform {

namespace {

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds blanks or quotes, backslashes doubled only before a
// quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument, bool alwaysQuote)
{
    if (!alwaysQuote && !argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            line.append(backslashes * 2 + 1, L'\\');
        else
            line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

StartResult ResultOf(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return StartResult::Started;
    case ERROR_FILE_NOT_FOUND:
        return StartResult::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return StartResult::PathNotFound;
    default:
        return StartResult::Failed;
    }
}

std::string SystemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text ? std::wstring(text, n) : L"error " + std::to_wstring(error);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return win32::Narrow(message);
}

BOOL CALLBACK CloseProcessWindow(HWND window, LPARAM process)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(process))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

ChildProcess::~ChildProcess()
{
    Release();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : id_(std::exchange(other.id_, -1))
    , handle_(std::exchange(other.handle_, nullptr))
    , ended_(other.ended_)
    , exitCode_(other.exitCode_)
    , result_(other.result_)
    , errorNumber_(other.errorNumber_)
    , error_(std::move(other.error_))
{
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept
{
    if (this != &other) {
        Release();
        id_ = std::exchange(other.id_, -1);
        handle_ = std::exchange(other.handle_, nullptr);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
        result_ = other.result_;
        errorNumber_ = other.errorNumber_;
        error_ = std::move(other.error_);
    }
    return *this;
}

void ChildProcess::Release()
{
    // Closing the handle does not end the process; it runs on by itself.
    if (handle_)
        ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    id_ = -1;
    ended_ = false;
}

bool ChildProcess::Start(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return StartCommandLine({}, {});
    std::wstring tail;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1)
            tail += L' ';
        AppendQuoted(tail, win32::Widen(arguments[i]), false);
    }
    return StartCommandLine(arguments[0], win32::Narrow(tail));
}

bool ChildProcess::StartCommandLine(const std::string& programPath, const std::string& tail)
{
    Release();
    exitCode_ = -1;
    error_.clear();
    if (programPath.empty()) {
        result_ = StartResult::FileNotFound;
        errorNumber_ = ERROR_FILE_NOT_FOUND;
        error_ = "no program given";
        return false;
    }
    const std::wstring program = win32::Widen(programPath);
    // The program's own path goes first, always quoted, as hosts pass it.
    std::wstring line;
    AppendQuoted(line, program, true);
    if (!tail.empty()) {
        line += L' ';
        line += win32::Widen(tail);
    }
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info {};
    // CreateProcess may write into the command line; it gets a copy.
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');
    const BOOL ok = ::CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE,
        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    result_ = ResultOf(error);
    errorNumber_ = static_cast<int>(error);
    if (!ok) {
        error_ = programPath + ": " + SystemMessage(error);
        return false;
    }
    ::CloseHandle(info.hThread);
    handle_ = info.hProcess;
    id_ = static_cast<ProcessId>(info.dwProcessId);
    ended_ = false;
    return true;
}

bool ChildProcess::Reap(bool block)
{
    if (!handle_ || ended_)
        return true;
    if (::WaitForSingleObject(static_cast<HANDLE>(handle_), block ? INFINITE : 0) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    ::GetExitCodeProcess(static_cast<HANDLE>(handle_), &code);
    exitCode_ = static_cast<int>(code);
    ended_ = true;
    return true;
}

bool ChildProcess::IsRunning()
{
    return handle_ && !Reap(false);
}

bool ChildProcess::Wait(int timeoutMs)
{
    if (!handle_)
        return false;
    if (ended_)
        return true;
    if (::WaitForSingleObject(static_cast<HANDLE>(handle_), static_cast<DWORD>(std::max(timeoutMs, 0)))
        != WAIT_OBJECT_0)
        return false;
    return Reap(false);
}

bool ChildProcess::Terminate(int graceMs)
{
    if (!handle_)
        return false;
    if (Reap(false))
        return true;
    // Windows has no end request for a process; its windows get a close.
    ::EnumWindows(CloseProcessWindow, static_cast<LPARAM>(id_));
    if (Wait(graceMs))
        return true;
    ::TerminateProcess(static_cast<HANDLE>(handle_), 1);
    Wait(10000);
    return false;
}

// Windows delivers no end requests to a waiting process: the host ends the
// started program itself (by its windows), so the relay only waits.
struct EndRequestRelay::Saved { };

EndRequestRelay::EndRequestRelay()
    : saved_(std::make_unique<Saved>())
{
}

EndRequestRelay::~EndRequestRelay() = default;

int EndRequestRelay::Wait(ChildProcess& process)
{
    if (!process.IsStarted())
        return -1;
    process.Reap(true);
    return process.ExitCode();
}

bool SystemProcessStarter::StartDetached(const std::vector<std::string>& arguments)
{
    std::erase_if(started_, [](ChildProcess& p) { return !p.IsRunning(); });
    ChildProcess process;
    if (!process.Start(arguments))
        return false;
    started_.push_back(std::move(process));
    return true;
}

std::string RunningProgramPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return win32::Narrow(path);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

} // namespace velmora::platform
