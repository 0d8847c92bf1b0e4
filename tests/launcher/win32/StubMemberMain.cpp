// A stand-in member of the collection for randomstart's tests on Windows,
// copied under each member's name. Each start records its whole command line
// as "<name>.<process id>.run" (UTF-8, written whole through a rename) in the
// folder named by VELMORA_STUB_DIR, then runs until the test puts a file
// "release" there (or the folder goes), and marks its end with
// "<name>.<process id>.end". Whether randomstart waited for it is then a
// question of order, never of time.

#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(
            CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool WriteFileWhole(const std::wstring& path, const std::string& bytes)
{
    const std::wstring temporary = path + L".tmp";
    HANDLE file = ::CreateFileW(
        temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    ::CloseHandle(file);
    return ok && ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t dirBuffer[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_STUB_DIR", dirBuffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 3;
    const std::wstring dir(dirBuffer, n);
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring name(self, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.rfind(L'.'));
    const std::wstring run = dir + L"\\" + name + L"." + std::to_wstring(::GetCurrentProcessId());
    if (!WriteFileWhole(run + L".run", Utf8(::GetCommandLineW())))
        return 4;
    // Bounded, so a test that fails before releasing leaves nothing running.
    for (int i = 0; i < 1200 && Exists(dir) && !Exists(dir + L"\\release"); ++i)
        ::Sleep(50);
    WriteFileWhole(run + L".end", "");
    return 0;
}
