#pragma once
// The test's side of the stub member (StubMemberMain.cpp): copies of it
// under members' names in a folder of the test's, the runs they record
// there, and the release that lets them end.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "TempFolder.h"
#include "Win32Windows.h"

namespace velmora::testing {

struct StubRun {
    std::string commandLine; // the member's whole command line
    bool ended = false;
};

class StubMembers {
public:
    explicit StubMembers(const TempFolder& folder)
        : folder_(folder)
    {
    }

    // A copy of the stub named `name` + `extension`; returns its path.
    std::string Make(const std::string& name, const std::string& extension) const
    {
        const std::filesystem::path path = folder_.Path() / (name + extension);
        std::error_code ec;
        std::filesystem::copy_file(
            STUB_MEMBER_PATH, path, std::filesystem::copy_options::overwrite_existing, ec);
        EXPECT_FALSE(ec) << ec.message();
        return std::filesystem::path(path).make_preferred().string();
    }
    // What a program that starts members needs in its environment.
    std::string Environment() const
    {
        return "VELMORA_STUB_DIR=" + std::filesystem::path(folder_.Path()).make_preferred().string();
    }
    // Lets every stub that runs now or later end at once.
    void Release() const { folder_.Write("release", "go"); }

    // The runs of stub `name` recorded so far.
    std::vector<StubRun> Runs(const std::string& name) const
    {
        std::vector<StubRun> runs;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
            if (entry.path().filename().string().rfind(name + ".", 0) != 0
                || entry.path().extension() != ".run")
                continue;
            std::filesystem::path end = entry.path();
            end.replace_extension(".end");
            runs.push_back({ReadFileBytes(entry.path()), std::filesystem::exists(end)});
        }
        return runs;
    }
    // Waits (bounded) for a run of stub `name`.
    bool WaitForRun(const std::string& name, int timeoutMs) const
    {
        return PumpUntil(timeoutMs, [&] { return !Runs(name).empty(); });
    }
    // Forgets the runs seen so far.
    void ClearRuns() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(folder_.Path()))
            if (entry.path().extension() == ".run" || entry.path().extension() == ".end")
                std::filesystem::remove(entry.path());
    }

private:
    const TempFolder& folder_;
};

} // namespace velmora::testing
