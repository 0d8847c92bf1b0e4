#pragma once
// randomstart: stands in the host's place of a screensaver and starts one
// member of the Kestrova 3D collection with its own command line: a random
// installed member for full-screen runs when the collection's "StartRandom"
// switch is on, the fallback member "Corvane3D" otherwise. A display hack's
// command line (XScreenSaver's "-root") is a full-screen run in this sense.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::launcher {

// Paths are read into buffers of this size (NUL included).
inline constexpr std::size_t kPathBuffer = 1024;
inline constexpr std::string_view kCollectionKey = "Software\\Tarnwick\\Kestrova3D";
inline constexpr std::string_view kFallbackMemberKey = "Corvane3D";
inline constexpr std::string_view kErrorCaption = "Screensaver error";
// Where a user who lost the installer finds it again.
inline constexpr std::string_view kDownloadUrl = "http://www.kestrova3d.com/download/";
// The error text ends with the download address, without a closing parenthesis.
std::string NotInstalledText();

// The own command line: the arguments joined by single spaces, leading
// blanks skipped and nothing else changed.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// True only for exactly "/s" or "-s": letter case and trailing blanks count.
bool IsFullScreenStart(std::string_view commandLine);

// True for a display hack's command line, as XScreenSaver and the hosts that
// follow its conventions start a screensaver: one of the arguments is "-root"
// or "--root", or "-window-id" or "--window-id" followed by the id (also
// written "--window-id=ID"). XSCREENSAVER_WINDOW does not matter: the member
// reads it itself.
bool IsDisplayHackStart(const std::vector<std::string>& arguments);

// The starts that stand for a screensaver run: the full-screen switch or a
// display hack. They pick at random when "StartRandom" is on, and the
// launcher waits for the member, passing the host's end requests on.
bool IsScreensaverRun(const std::vector<std::string>& arguments);

// "StartRandom" counts as on only when it is a non-zero REG_DWORD.
bool StartRandomIsOn();

// The program paths of the members registered in "List" whose files can be
// opened for reading, in stored order.
std::vector<std::string> ReadCandidates();

// The fallback member's "ExecutablePath": a non-empty REG_SZ that fits `size`.
bool ReadFallbackProgram(char* buffer, std::size_t size);

// Index of the candidate that `seed` picks among `count` (count > 0).
std::size_t PickCandidate(uint64_t seed, std::size_t count);

// Fills `buffer` (capacity `size`) with the program to start: a random
// usable member when `screensaverRun` and "StartRandom" is on, else the
// fallback; false when there is none. The random pick is seeded from the
// millisecond tick count; the form with `seed` takes it (tests).
bool ChooseMember(bool screensaverRun, char* buffer, std::size_t size);
bool ChooseMember(bool screensaverRun, char* buffer, std::size_t size, uint64_t seed);
// The same for the command line as one text, where only the full-screen
// switch counts as a screensaver run.
bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size);
bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size, uint64_t seed);

// Shows a desktop message box; false when no desktop is available.
using MessageBoxFunction = std::function<bool(std::string_view caption, std::string_view text)>;

// The whole run: choose, start the member with the same arguments, wait for
// it in screensaver runs (full screen or display hack). Returns the exit code: 0 after a start, -1 after
// the "not installed" error (on stderr always, in a box when possible), 1
// when the program exists but could not be started (reported on stderr).
int RunRandomStart(const std::vector<std::string>& arguments, const MessageBoxFunction& showMessageBox);

// The command-line text after the program's own name, as the C runtime
// hands it to WinMain: the name (up to its closing quotation mark when it
// starts with one, else up to the first blank) and the blanks after it are
// skipped, nothing else is changed.
std::string CommandLineTail(std::string_view fullCommandLine);

#ifdef _WIN32
// The whole run on Windows, where a program gets its command line as one
// text: the member gets `"path" commandLine` with the text exactly as it
// came, and only the full-screen switch is a screensaver run.
int RunRandomStartLine(std::string_view commandLine, const MessageBoxFunction& showMessageBox);
#endif

} // namespace velmora::launcher
