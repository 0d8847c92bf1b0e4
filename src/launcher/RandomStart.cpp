#include "launcher/RandomStart.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

namespace velmora::launcher {
namespace {

using platform::RegistryKey;

constexpr std::string_view kListKey = "List";
constexpr std::string_view kExecutablePath = "ExecutablePath";
constexpr std::string_view kStartRandom = "StartRandom";

// A member that must exist but cannot be started: reported, never silent.
void ReportStartFailure(const char* path, const platform::ChildProcess& member)
{
#ifdef _WIN32
    // The system's own words, with the path.
    std::fprintf(stderr, "randomstart: cannot start %s\n", member.LastError().c_str());
    (void)path;
#else
    std::fprintf(stderr, "randomstart: cannot start \"%s\": %s\n", path, std::strerror(member.ErrorNumber()));
#endif
}

void ReportNotInstalled(const MessageBoxFunction& showMessageBox)
{
    const std::string text = NotInstalledText();
    std::fprintf(
        stderr, "%.*s: %s\n", static_cast<int>(kErrorCaption.size()), kErrorCaption.data(), text.c_str());
    if (showMessageBox)
        showMessageBox(kErrorCaption, text);
}

} // namespace

std::string NotInstalledText()
{
    std::string text = "This screensaver is not installed properly. Please reinstall it.\n"
                       "(if you have lost installer, you can download it from ";
    text += kDownloadUrl;
    return text;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments)
{
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += arguments[i];
    }
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

bool IsFullScreenStart(std::string_view commandLine)
{
    return commandLine == "/s" || commandLine == "-s";
}

bool IsDisplayHackStart(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument.substr(0, 2) == "--")
            argument.remove_prefix(2);
        else if (argument.substr(0, 1) == "-")
            argument.remove_prefix(1);
        else
            continue;
        if (argument == "root")
            return true;
        if (argument == "window-id" && i + 1 < arguments.size() && !arguments[i + 1].empty())
            return true;
        if (argument.substr(0, 10) == "window-id=" && argument.size() > 10)
            return true;
    }
    return false;
}

bool IsScreensaverRun(const std::vector<std::string>& arguments)
{
    return IsFullScreenStart(JoinCommandLine(arguments)) || IsDisplayHackStart(arguments);
}

bool StartRandomIsOn()
{
    RegistryKey collection;
    uint32_t value = 0;
    return collection.Open(kCollectionKey) && collection.QueryDword(kStartRandom, value) && value != 0;
}

std::vector<std::string> ReadCandidates()
{
    std::vector<std::string> candidates;
    RegistryKey collection;
    RegistryKey list;
    if (!collection.Open(kCollectionKey) || !list.Open(collection, kListKey))
        return candidates;
    // Each step offers full-size buffers, so a name longer than the path read
    // before it still comes through whole.
    for (std::size_t index = 0;; ++index) {
        platform::RegistryValue entry;
        if (!list.EnumValue(index, entry, kPathBuffer))
            break;
        if (entry.name.empty())
            continue;
        RegistryKey member;
        std::string path;
        if (!member.Open(collection, entry.name) || !member.QueryString(kExecutablePath, path, kPathBuffer))
            continue;
        if (platform::CanOpenForReading(path))
            candidates.push_back(std::move(path));
    }
    return candidates;
}

bool ReadFallbackProgram(char* buffer, std::size_t size)
{
    RegistryKey member;
    platform::RegistryValue value;
    if (!member.Open(std::string(kCollectionKey) + "\\" + std::string(kFallbackMemberKey))
        || !member.QueryValue(kExecutablePath, value))
        return false;
    if (value.type != platform::RegistryType::String || value.text.empty() || value.text.size() >= size)
        return false;
    std::memcpy(buffer, value.text.c_str(), value.text.size() + 1);
    return true;
}

std::size_t PickCandidate(uint64_t seed, std::size_t count)
{
    // splitmix64: neighbouring tick counts give unrelated picks.
    uint64_t z = seed + 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<std::size_t>(z % count);
}

bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size)
{
    return ChooseMember(IsFullScreenStart(commandLine), buffer, size);
}

bool ChooseProgram(std::string_view commandLine, char* buffer, std::size_t size, uint64_t seed)
{
    return ChooseMember(IsFullScreenStart(commandLine), buffer, size, seed);
}

bool ChooseMember(bool screensaverRun, char* buffer, std::size_t size)
{
    return ChooseMember(screensaverRun, buffer, size, platform::TickCountMs());
}

bool ChooseMember(bool screensaverRun, char* buffer, std::size_t size, uint64_t seed)
{
    if (buffer == nullptr || size == 0)
        return false;
    if (screensaverRun && StartRandomIsOn()) {
        std::vector<std::string> candidates;
        try {
            candidates = ReadCandidates();
        } catch (const std::bad_alloc&) {
            candidates.clear();
        }
        if (!candidates.empty()) {
            const std::string& chosen = candidates[PickCandidate(seed, candidates.size())];
            if (chosen.size() < size) {
                std::memcpy(buffer, chosen.c_str(), chosen.size() + 1);
                return true;
            }
        }
    }
    return ReadFallbackProgram(buffer, size);
}

namespace {

// Choose, start with `start`, wait for the member in screensaver runs.
template<typename StartMember>
int RunWith(bool screensaverRun, const MessageBoxFunction& showMessageBox, StartMember start)
{
    char path[kPathBuffer];
    if (!ChooseMember(screensaverRun, path, sizeof path)) {
        ReportNotInstalled(showMessageBox);
        return -1;
    }
    // Set up before the start, so an end request from the host that comes
    // while the member starts is not lost.
    std::optional<platform::EndRequestRelay> relay;
    if (screensaverRun)
        relay.emplace();
    platform::ChildProcess member;
    start(member, path);
    switch (member.Result()) {
    case platform::StartResult::Started:
        if (relay)
            relay->Wait(member);
        return 0;
    case platform::StartResult::FileNotFound:
    case platform::StartResult::PathNotFound:
        ReportNotInstalled(showMessageBox);
        return -1;
    case platform::StartResult::Failed:
        break;
    }
    ReportStartFailure(path, member);
    return 1;
}

} // namespace

int RunRandomStart(const std::vector<std::string>& arguments, const MessageBoxFunction& showMessageBox)
{
    // A display hack's host ends the hack with a signal and knows only the
    // process it started, so it is waited for like a full-screen run.
    return RunWith(
        IsScreensaverRun(arguments), showMessageBox, [&](platform::ChildProcess& member, const char* path) {
            std::vector<std::string> programArguments;
            programArguments.reserve(arguments.size() + 1);
            programArguments.emplace_back(path);
            programArguments.insert(programArguments.end(), arguments.begin(), arguments.end());
            member.Start(programArguments);
        });
}

std::string CommandLineTail(std::string_view fullCommandLine)
{
    std::size_t i = 0;
    if (!fullCommandLine.empty() && fullCommandLine[0] == '"') {
        const std::size_t close = fullCommandLine.find('"', 1);
        i = close == std::string_view::npos ? fullCommandLine.size() : close + 1;
    } else {
        while (i < fullCommandLine.size() && fullCommandLine[i] != ' ' && fullCommandLine[i] != '\t')
            ++i;
    }
    while (i < fullCommandLine.size() && (fullCommandLine[i] == ' ' || fullCommandLine[i] == '\t'))
        ++i;
    return std::string(fullCommandLine.substr(i));
}

#ifdef _WIN32
int RunRandomStartLine(std::string_view commandLine, const MessageBoxFunction& showMessageBox)
{
    const std::string tail(commandLine);
    return RunWith(IsFullScreenStart(commandLine), showMessageBox,
        [&](platform::ChildProcess& member, const char* path) { member.StartCommandLine(path, tail); });
}
#endif

} // namespace velmora::launcher
