#pragma once
// randomstart: stands in the host's place of a screensaver and starts one
// member of the Kestrova 3D collection with its own command line: a random
// installed member for full-screen runs when the collection's "StartRandom"
// switch is on, the fallback member "Corvane3D" otherwise.

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

// "StartRandom" counts as on only when it is a non-zero REG_DWORD.
bool StartRandomIsOn();

// The program paths of the members registered in "List" whose files can be
// opened for reading, in stored order.
std::vector<std::string> ReadCandidates();

// The fallback member's "ExecutablePath": a non-empty REG_SZ that fits `size`.
bool ReadFallbackProgram(char* buffer, std::size_t size);

// Index of the candidate that `seed` picks among `count` (count > 0).
std::size_t PickCandidate(uint64_t seed, std::size_t count);

// Fills `buffer` (capacity `size`) with the program to start for
// `commandLine`; false when there is none. The random pick is seeded from
// the millisecond tick count; the second form takes the seed (tests).
bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size);
bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size, uint64_t seed);

// Shows a desktop message box; false when no desktop is available.
using MessageBoxFunction = std::function<bool(std::string_view caption, std::string_view text)>;

// The whole run: choose, start the member with the same arguments, wait for
// it in full-screen runs. Returns the exit code: 0 after a start, -1 after
// the "not installed" error (on stderr always, in a box when possible), 1
// when the program exists but could not be started (reported on stderr).
int RunRandomStart(const std::vector<std::string>& arguments, const MessageBoxFunction& showMessageBox);

} // namespace velmora::launcher
