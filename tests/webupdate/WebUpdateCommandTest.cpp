// `Velmora3D --web-update`, run as a user or a script runs it, and the text
// progress it shows.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "webupdate/TextProgress.h"
#include "webupdate/WebProductList.h"
#include "WebUpdateFixture.h"

extern char** environ;

namespace velmora::webupdate {
namespace {

using testing::ReadFileBytes;

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    double seconds = 0;
};

class WebUpdateCommandTest : public testing::WebUpdateFixture {
protected:
    // Runs the program with the test's environment (registry, list address).
    ProgramRun RunProgram(const std::vector<std::string>& arguments)
    {
        const std::string outPath = (output_.Path() / "out.txt").string();
        const std::string errPath = (output_.Path() / "err.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(
            &actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(
            &actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> args {VELMORA3D_PATH};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ProgramRun run;
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = -1;
        const int rc = ::posix_spawn(&pid, VELMORA3D_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            ADD_FAILURE() << "Velmora3D could not be started";
            return run;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFileBytes(outPath);
        run.err = ReadFileBytes(errPath);
        return run;
    }

    testing::TempFolder output_;
};

TEST_F(WebUpdateCommandTest, BuildsTheCatalogueOnDiskAndPrintsIt)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    Publish({{"ALDER3D", "Alder 3D"}, {"CORVANE3D", "Corvane 3D"}, {"MIRELLE3D", "Mirelle 3D"}});
    const ProgramRun run = RunProgram({"--web-update"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
        "BRISK3D\tBrisk 3D\tinstalled\n"
        "ALDER3D\tAlder 3D\tnot installed\n"
        "CORVANE3D\tCorvane 3D\tnot installed\n"
        "MIRELLE3D\tMirelle 3D\tnot installed\n");
    // Not a terminal: one line per status and per percentage.
    EXPECT_EQ(run.err,
        "Downloading available products list...\n"
        "Downloading screenshots & icons\n"
        "0%\n16%\n33%\n50%\n66%\n83%\n100%\n");
    EXPECT_TRUE(std::filesystem::exists(WebFolder() / "update.xml"));
    EXPECT_TRUE(std::filesystem::exists(WebFolder() / "MIRELLE3D" / "screenshot.jpg"));
    EXPECT_TRUE(std::filesystem::exists(WebFolder() / "MIRELLE3D" / "icon.bmp"));
}

TEST_F(WebUpdateCommandTest, ClosedPortFailsWithTheMessage)
{
    RegisterMember("BRISK3D", "Brisk 3D");
    ::velmora::testing::SetEnvironment("KESTROVA3D_UPDATE_URL",
        ("http://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/products.xml").c_str());
    const ProgramRun run = RunProgram({"--web-update"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "BRISK3D\tBrisk 3D\tinstalled\n");
    EXPECT_EQ(run.err, "Downloading available products list...\nFailed to update products list Online!\n");
    EXPECT_LT(run.seconds, 30.0) << "hang guard";
}

TEST_F(WebUpdateCommandTest, MissingInstallPathFailsWithBothMessages)
{
    Publish({{"ALDER3D", "Alder 3D"}});
    // Another copy's working registration without a data folder: the first
    // run leaves it as it is, so there is nowhere to keep the list.
    ClearInstallPath();
    const std::string other = registry_.MakeFile("Velmora3D");
    std::filesystem::permissions(other, std::filesystem::perms::owner_all);
    ::velmora::testing::StoreCollectionValue("Velmora3D", "ExecutablePath", other);
    const ProgramRun run = RunProgram({"--web-update"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string(kNoInstallPathMessage) + "\nFailed to update products list Online!\n");
}

TEST_F(WebUpdateCommandTest, OtherLongOptionsStillEndAtOnce)
{
    Publish({{"ALDER3D", "Alder 3D"}});
    for (const char* option : {"--web-update-now", "--WEB-UPDATE"}) {
        const ProgramRun run = RunProgram({option});
        EXPECT_EQ(run.exitCode, 0) << option;
        EXPECT_EQ(run.out, "") << option;
    }
    EXPECT_TRUE(server_->RequestedPaths().empty());
}

// [SECTION] The text progress

std::string Capture(bool terminal, void (*steps)(TextProgress&))
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = ::open_memstream(&buffer, &size);
    {
        TextProgress progress(stream, terminal);
        steps(progress);
    }
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(TextProgressTest, TerminalRedrawsOneBarInPlace)
{
    const std::string text = Capture(true, [](TextProgress& p) {
        p.SetStatus("Downloading available products list...");
        p.SetLocation("http://example/list.xml");
        p.SetStatus("Downloading screenshots && icons");
        p.SetPercent(50);
        p.SetPercent(50);
        p.Finish();
    });
    const std::string listStatus = "Downloading available products list...";
    const std::string picturesStatus = "Downloading screenshots & icons";
    const std::string bar0 = "[" + std::string(30, '.') + "]   0% ";
    const std::string bar50 = "[" + std::string(15, '#') + std::string(15, '.') + "]  50% ";
    // The shorter status blanks out the rest of the longer one.
    EXPECT_EQ(text,
        "\r" + bar0 + listStatus + "\r" + bar0 + picturesStatus
            + std::string(listStatus.size() - picturesStatus.size(), ' ') + "\r" + bar50 + picturesStatus
            + "\n");
}

TEST(TextProgressTest, PlainOutputHasOneLinePerChange)
{
    const std::string text = Capture(false, [](TextProgress& p) {
        p.SetStatus("Working");
        p.SetStatus("Working");
        p.SetPercent(0);
        p.SetPercent(140);
        p.Finish();
    });
    EXPECT_EQ(text, "Working\n0%\n100%\n");
}

} // namespace
} // namespace velmora::webupdate
