// The file operations of the web update.

#include "webupdate/WebFiles.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestHttpServer.h"

namespace velmora::webupdate {
namespace {

namespace fs = std::filesystem;
using testing::ListFiles;
using testing::ReadFileBytes;

class WebFilesTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& relative) const { return (folder_.Path() / relative).string(); }
    testing::TempFolder folder_;
};

TEST_F(WebFilesTest, FileExistsOnlyForReadableFiles)
{
    folder_.Write("present.txt", "x");
    fs::create_directory(folder_.Path() / "folder");
    EXPECT_EQ(FileExists(PathOf("present.txt")), 1);
    EXPECT_EQ(FileExists(PathOf("absent.txt")), 0);
    EXPECT_EQ(FileExists(PathOf("folder")), 0);
    EXPECT_EQ(FileExists(""), 0);
}

TEST_F(WebFilesTest, IsPathWritableProbesAFolderAndLeavesNothing)
{
    EXPECT_EQ(IsPathWritable(folder_.Path().string() + "/"), 1);
    EXPECT_EQ(IsPathWritable(PathOf("new.txt")), 1);
    EXPECT_TRUE(ListFiles(folder_.Path()).empty());
    // An existing file counts as writable and is left as it is.
    folder_.Write("kept.txt", "kept");
    EXPECT_EQ(IsPathWritable(PathOf("kept.txt")), 1);
    EXPECT_EQ(ReadFileBytes(PathOf("kept.txt")), "kept");
}

TEST_F(WebFilesTest, IsPathWritableFailsWhereNothingCanBeCreated)
{
    folder_.Write("file", "x");
    EXPECT_EQ(IsPathWritable(PathOf("missing/")), 0);
    EXPECT_EQ(IsPathWritable(PathOf("file/inside.txt")), 0);
    EXPECT_EQ(IsPathWritable(""), 0);
    EXPECT_EQ(ListFiles(folder_.Path()), std::vector<std::string> {"file"});
}

TEST_F(WebFilesTest, EnsureDirectoriesCreatesEveryMissingFolder)
{
    const std::string path = PathOf("web/ALDER3D/deep/screenshot.jpg");
    EXPECT_EQ(EnsureDirectories(path), 1);
    EXPECT_TRUE(fs::is_directory(folder_.Path() / "web/ALDER3D/deep"));
    EXPECT_FALSE(fs::exists(path)); // the probe is gone
    EXPECT_EQ(EnsureDirectories(PathOf("web/folder/")), 1);
    EXPECT_TRUE(fs::is_directory(folder_.Path() / "web/folder"));
    EXPECT_TRUE(ListFiles(folder_.Path()).empty());
}

TEST_F(WebFilesTest, EnsureDirectoriesFailsBelowAFile)
{
    folder_.Write("web", "a file where a folder should be");
    EXPECT_EQ(EnsureDirectories(PathOf("web/ALDER3D/icon.bmp")), 0);
}

TEST_F(WebFilesTest, WriteWholeFileWritesExactlyTheBlock)
{
    const std::string bytes("\x00\x01\xff payload\n", 12);
    const std::string path = PathOf("web/A/screenshot.jpg");
    ASSERT_EQ(WriteWholeFile(path, bytes.data(), bytes.size()), 1);
    EXPECT_EQ(ReadFileBytes(path), bytes);
    // Writing again replaces the whole content.
    ASSERT_EQ(WriteWholeFile(path, "ab", 2), 1);
    EXPECT_EQ(ReadFileBytes(path), "ab");
    EXPECT_EQ(ListFiles(folder_.Path()), std::vector<std::string> {"web/A/screenshot.jpg"});
}

struct FailedWrite {
    const char* name;
    const char* path;
    std::size_t size;
};

class WriteWholeFileFailureTest : public WebFilesTest, public ::testing::WithParamInterface<FailedWrite> { };

TEST_P(WriteWholeFileFailureTest, LeavesNoFileBehind)
{
    folder_.Write("blocker", "a file in the way");
    fs::create_directories(folder_.Path() / "web/update.xml");
    EXPECT_EQ(WriteWholeFile(PathOf(GetParam().path), "data", GetParam().size), 0);
    // Only what the set-up made is there: no partial or temporary file.
    EXPECT_EQ(ListFiles(folder_.Path()), std::vector<std::string> {"blocker"});
    EXPECT_TRUE(fs::is_directory(folder_.Path() / "web/update.xml"));
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteWholeFileFailureTest,
    ::testing::Values(FailedWrite {"EmptyBlock", "web/empty.bin", 0},
        FailedWrite {"FolderBelowAFile", "blocker/x.bin", 4},
        FailedWrite {"FolderAtThePath", "web/update.xml", 4}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::webupdate
