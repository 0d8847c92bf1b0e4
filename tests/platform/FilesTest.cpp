#include "platform/Files.h"
#include "platform/Clock.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

TEST(CanOpenForReading, OnlyReadableRegularFiles)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const std::string file = (dir / "program").string();
    std::ofstream(file) << "x";
    EXPECT_TRUE(CanOpenForReading(file));
    EXPECT_FALSE(CanOpenForReading(""));
    EXPECT_FALSE(CanOpenForReading((dir / "missing").string()));
    EXPECT_FALSE(CanOpenForReading(dir.string())); // a folder is no program file
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(CanOpenForReading(fifo)); // and must not hang
    std::filesystem::remove_all(dir);
    EXPECT_FALSE(CanOpenForReading(file));
}

TEST(TickCount, NeverGoesBackwards)
{
    uint64_t last = TickCountMs();
    for (int i = 0; i < 1000; ++i) {
        const uint64_t now = TickCountMs();
        ASSERT_GE(now, last);
        last = now;
    }
}

} // namespace
} // namespace velmora::platform
