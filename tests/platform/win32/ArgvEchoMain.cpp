// velmora-argv-echo: a small Windows program for the process tests. Writes
// the arguments it was given, one UTF-8 line each, to the file named by
// VELMORA_ARGV_ECHO_FILE, then:
//   --exit N     ends with exit code N
//   --sleep MS   waits MS milliseconds first
//   --window     shows a window and ends (code 5) when asked to close it

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const wchar_t* text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
    if (n > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        ::PostQuitMessage(5);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (const char* file = std::getenv("VELMORA_ARGV_ECHO_FILE")) {
        if (std::FILE* out = std::fopen(file, "wb")) {
            for (int i = 1; i < argc; ++i)
                std::fprintf(out, "%s\n", Utf8(argv[i]).c_str());
            std::fclose(out);
        }
    }
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--exit" && i + 1 < argc)
            code = _wtoi(argv[++i]);
        else if (a == L"--sleep" && i + 1 < argc)
            ::Sleep(static_cast<DWORD>(_wtoi(argv[++i])));
        else if (a == L"--window") {
            WNDCLASSW wc {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"VelmoraArgvEcho";
            ::RegisterClassW(&wc);
            ::CreateWindowW(wc.lpszClassName, L"echo", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                wc.hInstance, nullptr);
            MSG m;
            while (::GetMessageW(&m, nullptr, 0, 0) > 0)
                ::DispatchMessageW(&m);
            code = static_cast<int>(m.wParam);
        }
    }
    ::LocalFree(argv);
    return code;
}
