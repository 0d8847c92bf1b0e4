#pragma once
// Starting a Windows program as a host or a user would, for the program
// tests: its output goes to a file, it is always waited for with a bound,
// and killed at the end if it still runs, so no test leaves a window open.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

class WinProgram {
public:
    WinProgram() = default;
    ~WinProgram();
    WinProgram(const WinProgram&) = delete;
    WinProgram& operator=(const WinProgram&) = delete;

    // Starts `program` with `commandTail` after its quoted path, with
    // `environment` ("NAME=value") added to this process's; stdout and
    // stderr go to `outputFile`.
    bool Start(const std::string& program, const std::string& commandTail,
        const std::vector<std::string>& environment, const std::string& outputFile);
    // The exit code, or -1 when the program still runs after `timeoutMs`.
    int WaitExit(int timeoutMs);
    bool Running() const;
    DWORD ProcessId() const { return processId_; }
    // Kills the program if it still runs.
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// The first visible top-level window of `className` that belongs to the
// process, waiting at most `timeoutMs`; null when none appeared.
HWND WaitForWindow(DWORD processId, const wchar_t* className, int timeoutMs);
// A key press and release, as the keyboard gives it to the foreground window.
void PressKey(WORD virtualKey);
// A relative mouse move.
void MoveMouse(int dx, int dy);

} // namespace velmora::test
