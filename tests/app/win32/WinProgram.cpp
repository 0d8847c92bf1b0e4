#include "WinProgram.h"

#include <cwchar>

namespace velmora::test {

namespace {

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// This process's environment block with the given variables added (or
// replaced), as CreateProcessW takes it.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra)
{
    std::vector<std::wstring> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += std::wcslen(p) + 1)
        entries.emplace_back(p);
    ::FreeEnvironmentStringsW(block);
    for (const std::string& e : extra) {
        const std::wstring entry = Widen(e);
        const std::wstring name = entry.substr(0, entry.find(L'=') + 1);
        std::erase_if(entries,
            [&](const std::wstring& old) { return _wcsnicmp(old.c_str(), name.c_str(), name.size()) == 0; });
        entries.push_back(entry);
    }
    std::wstring out;
    for (const std::wstring& e : entries) {
        out += e;
        out += L'\0';
    }
    out += L'\0';
    return out;
}

} // namespace

WinProgram::~WinProgram()
{
    Kill();
    if (process_)
        ::CloseHandle(process_);
}

bool WinProgram::Start(const std::string& program, const std::string& commandTail,
    const std::vector<std::string>& environment, const std::string& outputFile)
{
    Kill();
    if (process_)
        ::CloseHandle(process_);
    process_ = nullptr;
    SECURITY_ATTRIBUTES inherit {sizeof inherit, nullptr, TRUE};
    HANDLE output = ::CreateFileW(Widen(outputFile).c_str(), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return false;
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring line = L"\"" + Widen(program) + L"\"";
    if (!commandTail.empty())
        line += L" " + Widen(commandTail);
    std::wstring env = EnvironmentBlock(environment);
    PROCESS_INFORMATION info {};
    const BOOL ok = ::CreateProcessW(Widen(program).c_str(), line.data(), nullptr, nullptr, TRUE,
        CREATE_UNICODE_ENVIRONMENT, env.data(), nullptr, &startup, &info);
    ::CloseHandle(output);
    if (!ok)
        return false;
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return true;
}

int WinProgram::WaitExit(int timeoutMs)
{
    if (!process_ || ::WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

bool WinProgram::Running() const
{
    return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void WinProgram::Kill()
{
    if (Running()) {
        ::TerminateProcess(process_, 99);
        ::WaitForSingleObject(process_, 10000);
    }
}

namespace {

struct Search {
    DWORD process;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    auto* s = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    if (owner == s->process && ::IsWindowVisible(window) && std::wcscmp(name, s->className) == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForWindow(DWORD processId, const wchar_t* className, int timeoutMs)
{
    Search search {processId, className, nullptr};
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        ::Sleep(50);
    }
    return nullptr;
}

void PressKey(WORD virtualKey)
{
    INPUT input[2] {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = virtualKey;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof(INPUT));
}

void MoveMouse(int dx, int dy)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    ::SendInput(1, &input, sizeof(INPUT));
}

} // namespace velmora::test
