#include "platform/Files.h"
#include "platform/Clock.h"

#include <filesystem>
#include <fstream>
#include <string>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace velmora::platform {
namespace {

TEST(CanOpenForReading, OnlyReadableRegularFiles)
{
    const testing::TempFolder folder {"velmora-files"};
    const std::filesystem::path& dir = folder.Path();
    const std::string file = folder.Write("program", "x");
    EXPECT_TRUE(CanOpenForReading(file));
    EXPECT_FALSE(CanOpenForReading(""));
    EXPECT_FALSE(CanOpenForReading((dir / "missing").string()));
    EXPECT_FALSE(CanOpenForReading(dir.string())); // a folder is no program file
#if !defined(_WIN32)
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(CanOpenForReading(fifo)); // and must not hang
#endif
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
