// The installed tree: `cmake --install` into a scratch prefix puts every
// file in its place, and the installed registration tool, run as a user
// would run it, registers the installed program twice without a change the
// second time and takes everything back again.

#include "platform/RegistryFormat.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <climits>

#include <gtest/gtest.h>

#include "InstalledFiles.h"
#include "SpawnedProgram.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using test::RunToEnd;
using testing::ReadFileBytes;

std::map<std::string, std::map<std::string, std::string>> Contents(const std::string& text)
{
    std::map<std::string, std::map<std::string, std::string>> keys;
    for (const auto& key : platform::regfile::Parse(text).keys)
        for (const auto& value : key.values)
            keys[key.path][value.name] = value.text + "/" + std::to_string(value.dword);
    return keys;
}

class InstallTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = std::make_unique<testing::TempFolder>("velmora-install");
        root_ = folder_->Path();
        prefix_ = root_ / "prefix";
        std::string output;
        installed_
            = RunToEnd({VELMORA_CMAKE, "--install", VELMORA_BUILD_DIR, "--prefix", prefix_.string()}, &output)
            == 0;
        ASSERT_TRUE(installed_) << output;
    }
    static void TearDownTestSuite() { folder_.reset(); }
    void SetUp() override { ASSERT_TRUE(installed_); }

    static inline std::unique_ptr<testing::TempFolder> folder_;
    static inline fs::path root_;
    static inline fs::path prefix_;
    static inline bool installed_ = false;
};

TEST_F(InstallTreeTest, EveryFileIsInItsPlace)
{
    for (const test::InstalledFile& e : test::InstalledFiles()) {
        const fs::path path = prefix_ / e.path;
        ASSERT_TRUE(fs::is_regular_file(path)) << e.path;
        const fs::perms perms = fs::status(path).permissions();
        EXPECT_EQ((perms & fs::perms::others_exec) != fs::perms::none, e.executable) << e.path;
        EXPECT_NE(perms & fs::perms::others_read, fs::perms::none) << e.path;
        if (e.gzip) {
            EXPECT_EQ(ReadFileBytes(path).substr(0, 2), "\x1f\x8b") << e.path;
        }
    }

    // The installed program runs from its new place.
    std::string version;
    ASSERT_EQ(RunToEnd({(prefix_ / "bin/Velmora3D").string(), "--version"}, &version), 0);
    EXPECT_EQ(version, "Velmora3D " VELMORA3D_VERSION "\n");
}

TEST_F(InstallTreeTest, InstalledToolRegistersTwiceAndTakesItBack)
{
    const fs::path registry = root_ / "config/registry.reg";
    const fs::path data = root_ / "data";
    ::setenv("KESTROVA3D_REGISTRY", registry.c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    fs::create_directories(registry.parent_path());
    const std::string before = "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D]\n"
                               "\"StartRandom\"=dword:00000001\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\List]\n"
                               "\"AURELIS3D\"=\"Aurelis 3D Screensaver\"\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D\\AURELIS3D]\n"
                               "\"ExecutablePath\"=\"/opt/aurelis/Aurelis3D\"\n\n";
    std::ofstream(registry) << before;

    const std::string tool = (prefix_ / "bin/velmora3d-register").string();
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath((prefix_ / "bin/Velmora3D").c_str(), resolved), nullptr);
    const std::string program = resolved;

    std::string output;
    ASSERT_EQ(RunToEnd({tool}, &output), 0) << output;
    const std::string registered = ReadFileBytes(registry);
    const auto contents = Contents(registered);
    const std::string collection = "HKEY_CURRENT_USER\\Software\\Tarnwick\\Kestrova3D";
    EXPECT_EQ(contents.at(collection + "\\List").at("VELMORA3D"), "Velmora 3D Screensaver/0");
    EXPECT_EQ(contents.at(collection + "\\Velmora3D").at("ExecutablePath"), program + "/0");
    EXPECT_EQ(contents.at(collection + "\\Velmora3D").at("InstallPath"),
        (data / "kestrova3d/velmora3d/").string() + "/0");
    EXPECT_EQ(contents.at(collection + "\\Corvane3D").at("ExecutablePath"), program + "/0");
    EXPECT_TRUE(fs::is_directory(data / "kestrova3d/velmora3d"));

    ASSERT_EQ(RunToEnd({tool}, &output), 0);
    EXPECT_NE(output.find("nothing to change"), std::string::npos) << output;
    EXPECT_EQ(ReadFileBytes(registry), registered);

    ASSERT_EQ(RunToEnd({tool, "--uninstall"}, &output), 0) << output;
    EXPECT_EQ(Contents(ReadFileBytes(registry)), Contents(before)) << ReadFileBytes(registry);
    EXPECT_FALSE(fs::exists(data / "kestrova3d"));
    EXPECT_TRUE(fs::is_directory(data));

    // A wrong command line says so and changes nothing.
    EXPECT_EQ(RunToEnd({tool, "--purge"}, &output), 2);
    EXPECT_EQ(RunToEnd({tool, "--program", (root_ / "missing").string()}, &output), 1);
    EXPECT_EQ(Contents(ReadFileBytes(registry)), Contents(before));
    ::unsetenv("KESTROVA3D_REGISTRY");
    ::unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace velmora
