#include "platform/InstanceGuard.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace velmora::platform {
namespace {

class InstanceGuardTest : public ::testing::Test {
protected:
    InstanceGuard Guard() const { return InstanceGuard("VELMORA 3D ScreenSaver", dir_); }

    // The pid of a process that has already ended.
    static pid_t DeadPid()
    {
        const pid_t pid = ::fork();
        if (pid == 0)
            ::_exit(0);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return pid;
    }

    testing::TempFolder folder_ {"velmora-guard"};
    const std::string dir_ = folder_.Path().string();
};

TEST_F(InstanceGuardTest, AddExistsDelete)
{
    InstanceGuard guard = Guard();
    EXPECT_EQ(guard.Path(), dir_ + "/VELMORA 3D ScreenSaver");
    EXPECT_FALSE(guard.Exists());
    EXPECT_FALSE(guard.Delete());
    ASSERT_TRUE(guard.Add());
    EXPECT_TRUE(guard.Exists());
    EXPECT_TRUE(Guard().Exists()); // any other handle sees it
    EXPECT_TRUE(Guard().Delete());
    EXPECT_FALSE(guard.Exists());
    EXPECT_FALSE(guard.Delete()); // once
}

TEST_F(InstanceGuardTest, TryAddRefusesWhileALiveOwnerHoldsIt)
{
    InstanceGuard guard = Guard();
    ASSERT_TRUE(guard.TryAdd());
    EXPECT_FALSE(Guard().TryAdd());
    ASSERT_TRUE(guard.Delete());
    EXPECT_TRUE(Guard().TryAdd());
}

TEST_F(InstanceGuardTest, GuardOfAnEndedProcessCountsAsAbsent)
{
    const pid_t dead = DeadPid();
    std::ofstream(Guard().Path()) << dead << "\n";
    InstanceGuard guard = Guard();
    EXPECT_FALSE(guard.Exists());
    EXPECT_FALSE(guard.Delete()); // tidied away, but there was no guard
    EXPECT_FALSE(std::filesystem::exists(guard.Path()));
    std::ofstream(Guard().Path()) << dead << " 12345\n";
    EXPECT_TRUE(guard.TryAdd()); // a stale guard is replaced
    EXPECT_TRUE(guard.Exists());
}

TEST_F(InstanceGuardTest, ReusedProcessIdIsNotTakenForTheOwner)
{
    // Our own pid with a start time that is not ours: an earlier process
    // that had this id.
    std::ofstream(Guard().Path()) << ::getpid() << " 1\n";
    EXPECT_FALSE(Guard().Exists());
    std::ofstream(Guard().Path()) << ::getpid() << "\n"; // no start time: the pid alone decides
    EXPECT_TRUE(Guard().Exists());
}

TEST_F(InstanceGuardTest, JunkGuardFilesCountAsAbsent)
{
    for (const std::string& junk :
        std::vector<std::string> {"", "not a pid\n", "-4\n", "0\n", std::string(200, '1')}) {
        std::ofstream(Guard().Path(), std::ios::trunc) << junk;
        EXPECT_FALSE(Guard().Exists()) << junk;
    }
    std::filesystem::remove(Guard().Path());
    std::filesystem::create_directory(Guard().Path());
    EXPECT_FALSE(Guard().Exists());
}

TEST_F(InstanceGuardTest, GuardOfAChildIsSeenUntilItEnds)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const bool added = Guard().TryAdd();
        char c = added ? '1' : '0';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, '1');
    EXPECT_TRUE(Guard().Exists());
    EXPECT_FALSE(Guard().TryAdd());
    ASSERT_EQ(::write(release[1], &c, 1), 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_FALSE(Guard().Exists()); // its owner is gone
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
}

// A guard written by a process that died before its rename leaves a
// temporary file; the next registration removes it, but never the file of a
// writer still at work (which holds the lock on it).
TEST_F(InstanceGuardTest, RegistrationRemovesOnlyTheTemporaryFilesOfDeadWriters)
{
    struct Row {
        const char* suffix;
        bool heldByLiveWriter;
        bool removed;
    };
    const Row rows[] = {
        {".tmp-Ab12Cd", false, true}, {".tmp-LIVE01", true, false},
        {".tmp-short", false, false}, // not a temporary name
    };
    std::vector<int> held;
    for (const Row& row : rows) {
        const std::string path = Guard().Path() + row.suffix;
        std::ofstream(path) << "1\n";
        if (row.heldByLiveWriter) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::flock(fd, LOCK_EX), 0);
            held.push_back(fd);
        }
    }
    for (const bool add : {true, false}) {
        ASSERT_TRUE(add ? Guard().Add() : Guard().TryAdd());
        EXPECT_TRUE(Guard().Exists());
        for (const Row& row : rows)
            EXPECT_EQ(std::filesystem::exists(Guard().Path() + row.suffix), !row.removed) << row.suffix;
        ASSERT_TRUE(Guard().Delete());
        std::ofstream(Guard().Path() + rows[0].suffix) << "1\n"; // died once more
    }
    for (int fd : held)
        ::close(fd);
}

TEST(InstanceGuardPath, RuntimeDirectoryOrPerUserTempName)
{
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(InstanceGuard("Name").Path(), "/run/user/4242/Name");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_EQ(InstanceGuard("Name").Path(), "/var/tmp/Name-" + std::to_string(::geteuid()));
    ::unsetenv("TMPDIR");
}

} // namespace
} // namespace velmora::platform
