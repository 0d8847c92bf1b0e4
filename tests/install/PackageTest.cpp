// The Debian package, built with CPack from this build: its file list, its
// declared dependencies, stripped programs that keep their own sections, and
// lintian's verdict.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "InstalledFiles.h"
#include "SpawnedProgram.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

using test::RunToEnd;

// The names of the ELF sections of a program file.
std::vector<std::string> Sections(const std::string& file)
{
    std::string output;
    std::vector<std::string> names;
    if (RunToEnd({"readelf", "-W", "-S", file}, &output) != 0)
        return names;
    const std::regex row(R"(\]\s+(\S+)\s+[A-Z_]+\s)");
    for (std::sregex_iterator it(output.begin(), output.end(), row), end; it != end; ++it)
        names.push_back((*it)[1]);
    return names;
}

bool Contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = std::make_unique<testing::TempFolder>("velmora-package");
        root_ = folder_->Path();
        std::string output;
        ASSERT_EQ(RunToEnd({VELMORA_CPACK, "--config", VELMORA_BUILD_DIR "/CPackConfig.cmake", "-G", "DEB",
                               "-B", root_.string()},
                      &output),
            0)
            << output;
        for (const auto& entry : fs::directory_iterator(root_))
            if (entry.path().extension() == ".deb")
                package_ = entry.path().string();
        ASSERT_FALSE(package_.empty()) << output;
        ASSERT_EQ(RunToEnd({"dpkg-deb", "-x", package_, (root_ / "tree").string()}, &output), 0) << output;
    }
    static void TearDownTestSuite() { folder_.reset(); }
    void SetUp() override { ASSERT_FALSE(package_.empty()); }

    static inline std::unique_ptr<testing::TempFolder> folder_;
    static inline fs::path root_;
    static inline std::string package_;
};

TEST_F(PackageTest, HoldsTheProgramsAndTheirFiles)
{
    EXPECT_EQ(fs::path(package_).filename(), "velmora3d_" VELMORA3D_VERSION "-1_amd64.deb");
    std::string list;
    ASSERT_EQ(RunToEnd({"dpkg-deb", "-c", package_}, &list), 0);
    for (const test::InstalledFile& file : test::InstalledFiles()) {
        // Programs executable by everyone, every other file readable only.
        const std::string mode = file.executable ? "-rwxr-xr-x " : "-rw-r--r-- ";
        const std::size_t at = list.find(" ./usr/" + file.path + "\n");
        ASSERT_NE(at, std::string::npos) << file.path << "\n" << list;
        EXPECT_EQ(list.substr(list.rfind('\n', at) + 1, mode.size()), mode) << file.path;
    }
    // Everything lies below /usr and belongs to root.
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(line.find(" root/root "), std::string::npos) << line;
        EXPECT_NE(line.find(" ./usr/"), std::string::npos) << line;
    }
}

TEST_F(PackageTest, DeclaresWhatTheProgramsNeed)
{
    std::string depends;
    ASSERT_EQ(RunToEnd({"dpkg-deb", "-f", package_, "Depends"}, &depends), 0);
    // Found in the programs by the library scan, and the two that are loaded
    // at run time and must be named by hand.
    for (const char* package : {"libc6", "libqt6gui6", "libqt6widgets6", "libqt6core6", "libjpeg62-turbo",
             "libminizip1", "libcurl4", "libx11-6", "qt6-qpa-plugins", "libgl1-mesa-dri"})
        EXPECT_TRUE(std::regex_search(depends, std::regex(std::string("(^|, )") + package + "( |,|$)")))
            << package << " missing from: " << depends;
}

TEST_F(PackageTest, ProgramsAreStrippedButKeepTheirOwnSections)
{
    for (const test::InstalledProgram& program : test::InstalledPrograms()) {
        const std::string& name = program.name;
        const std::vector<std::string> packaged = Sections((root_ / "tree/usr/bin" / name).string());
        ASSERT_FALSE(packaged.empty()) << name;
        EXPECT_FALSE(Contains(packaged, ".symtab")) << name;
        EXPECT_FALSE(Contains(packaged, ".debug_info")) << name;
        // Sections the project adds (the program's icon, read by other
        // members as data) must survive the stripping.
        for (const std::string& section : Sections(program.builtFile))
            if (section.rfind(".kestrova3d", 0) == 0) {
                EXPECT_TRUE(Contains(packaged, section)) << name << " lost " << section;
            }
    }
    std::string version;
    ASSERT_EQ(RunToEnd({(root_ / "tree/usr/bin/Velmora3D").string(), "--version"}, &version), 0);
    EXPECT_EQ(version, "Velmora3D " VELMORA3D_VERSION "\n");
}

TEST_F(PackageTest, LintianFindsNoErrors)
{
    std::string report;
    const int rc = RunToEnd({"lintian", "--fail-on", "error", package_}, &report);
    EXPECT_EQ(rc, 0) << report;
    EXPECT_EQ(report.find("\nE: "), std::string::npos) << report;
    EXPECT_NE(report.rfind("E: ", 0), 0u) << report;
}

} // namespace
} // namespace velmora
