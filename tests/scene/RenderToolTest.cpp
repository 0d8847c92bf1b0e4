// The headless renderer as a program: options, exit codes and output files.

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int exitCode = -1;
    std::string output;
};

// Runs the tool with the given arguments (already shell-safe) and collects
// stdout and stderr.
Result RunTool(const std::string& args, const std::string& env = "")
{
    const std::string command = env + " '" VELMORA_RENDER_TOOL "' " + args + " 2>&1";
    Result r;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe))
        r.output += buf;
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class RenderTool : public ::testing::Test {
protected:
    static bool PngSize(const fs::path& path, unsigned& w, unsigned& h)
    {
        png_image image {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str()))
            return false;
        w = image.width;
        h = image.height;
        png_image_free(&image);
        return true;
    }

    static std::string Bytes(const fs::path& path) { return velmora::testing::ReadFileBytes(path); }

    velmora::testing::TempFolder folder_ {"velmora-render"};
    const fs::path& dir_ = folder_.Path();
};

TEST_F(RenderTool, BadOptionsPrintUsageAndExitWithTwo)
{
    const char* bad[] = {"", "--frames 2", "--out", "--out /tmp --frames 0", "--out /tmp --frames x",
        "--out /tmp --size 100", "--out /tmp --size 0x10", "--out /tmp --size 99999x10",
        "--out /tmp --time nan", "--out /tmp --cam-mode 1.5", "--out /tmp --speed 99999999999",
        "--bench --unknown 1", "--out /tmp --passes"};
    for (const char* args : bad) {
        const Result r = RunTool(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.output.find("usage:"), std::string::npos) << args;
    }
}

TEST_F(RenderTool, WritesConsecutiveFramesOfTheAskedSize)
{
    const Result r = RunTool("--out '" + dir_.string() + "' --frames 3 --size 96x54 --time 7000");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (int n = 0; n < 3; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", n);
        unsigned w = 0;
        unsigned h = 0;
        ASSERT_TRUE(PngSize(dir_ / name, w, h)) << name;
        EXPECT_EQ(w, 96u);
        EXPECT_EQ(h, 54u);
    }
    EXPECT_FALSE(fs::exists(dir_ / "frame-00003.png"));
    // The clock moves between frames, so they differ.
    EXPECT_NE(Bytes(dir_ / "frame-00000.png"), Bytes(dir_ / "frame-00002.png"));
}

TEST_F(RenderTool, RegistrySettingsApplyAndOptionsOverrideThem)
{
    const fs::path reg = dir_ / "registry.reg";
    {
        std::ofstream out(reg);
        out << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\Velmora3D]\r\n"
               "\"RandomCameraStart\"=dword:00000000\r\n"
               "\"CamMode\"=dword:00000003\r\n\r\n";
    }
    const std::string env = "KESTROVA3D_REGISTRY='" + reg.string() + "'";
    fs::create_directories(dir_ / "registry");
    fs::create_directories(dir_ / "options");
    fs::create_directories(dir_ / "tour");
    ASSERT_EQ(RunTool("--out '" + (dir_ / "registry").string() + "' --size 64x48", env).exitCode, 0);
    ASSERT_EQ(
        RunTool("--out '" + (dir_ / "options").string() + "' --size 64x48 --time 7000 --cam-mode 3", env)
            .exitCode,
        0);
    ASSERT_EQ(RunTool("--out '" + (dir_ / "tour").string() + "' --size 64x48 --cam-mode 0", env).exitCode, 0);
    // Fixed camera and a 7000 start from the registry equal the same asked
    // for on the command line; the tour's camera gives another picture.
    const auto fromRegistry = Bytes(dir_ / "registry" / "frame-00000.png");
    ASSERT_FALSE(fromRegistry.empty());
    EXPECT_EQ(fromRegistry, Bytes(dir_ / "options" / "frame-00000.png"));
    EXPECT_NE(fromRegistry, Bytes(dir_ / "tour" / "frame-00000.png"));
}

TEST_F(RenderTool, BenchPrintsRatesAndWritesNothing)
{
    const Result r = RunTool("--bench --frames 3 --size 64x48 --time 7000 --out '" + dir_.string() + "'");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("frames per second"), std::string::npos);
    EXPECT_NE(r.output.find("median"), std::string::npos);
    EXPECT_NE(r.output.find("95th percentile"), std::string::npos);
    EXPECT_NE(r.output.find("CPU ms per frame"), std::string::npos);
    // Pass times only when asked for.
    EXPECT_EQ(r.output.find("rings"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(RenderTool, BenchWithPassesTimesEveryPassOfTheFrame)
{
    const Result r = RunTool("--bench --passes --frames 2 --size 64x48 --time 6180");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const char* pass : {"stars", "sun", "planet", "limb glow", "rings", "Titan", "lens flares"})
        EXPECT_NE(r.output.find(std::string("  ") + pass), std::string::npos) << pass << "\n" << r.output;
}

TEST_F(RenderTool, MissingOutputFolderIsMadeAndUnwritableOneFailsWithOne)
{
    const fs::path nested = dir_ / "new" / "frames";
    const Result made = RunTool("--out '" + nested.string() + "' --size 32x32 --time 7000");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_TRUE(fs::exists(nested / "frame-00000.png"));

    // A folder cannot be made below a plain file.
    std::ofstream(dir_ / "plain") << "x";
    const Result r = RunTool("--out '" + (dir_ / "plain" / "sub").string() + "' --size 32x32 --time 7000");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot create"), std::string::npos);
}

} // namespace
