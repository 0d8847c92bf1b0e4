// The single-instance guard as the session's global atom: what other
// programs see of it, and a stale atom of a run that died.

#include "platform/InstanceGuard.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace velmora::platform {
namespace {

class Win32GuardTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    void Clear() const
    {
        while (ATOM atom = ::GlobalFindAtomW(kName))
            ::GlobalDeleteAtom(atom);
    }
    static constexpr const wchar_t* kName = L"Velmora guard test";
    InstanceGuard guard_ {"Velmora guard test"};
};

TEST_F(Win32GuardTest, TheAtomIsWhatOtherProgramsSee)
{
    EXPECT_FALSE(guard_.Exists());
    ASSERT_TRUE(guard_.TryAdd());
    EXPECT_NE(::GlobalFindAtomW(kName), 0);
    EXPECT_TRUE(guard_.Exists());
    // Held by this live process: a second start is refused.
    EXPECT_FALSE(InstanceGuard("Velmora guard test").TryAdd());
    // Removed once: no reference of it is left.
    EXPECT_TRUE(guard_.Delete());
    EXPECT_EQ(::GlobalFindAtomW(kName), 0);
    EXPECT_FALSE(guard_.Delete());
    EXPECT_FALSE(guard_.Exists());
}

TEST_F(Win32GuardTest, AnAtomWithoutALiveOwnerIsStale)
{
    // What a run that crashed leaves behind, twice over.
    ::GlobalAddAtomW(kName);
    ::GlobalAddAtomW(kName);
    EXPECT_FALSE(guard_.Exists());
    ASSERT_TRUE(guard_.TryAdd());
    EXPECT_TRUE(guard_.Exists());
    EXPECT_TRUE(guard_.Delete());
    EXPECT_EQ(::GlobalFindAtomW(kName), 0) << "the stale references are gone too";
}

TEST_F(Win32GuardTest, AnyRunRemovesTheGuardOfAnother)
{
    ASSERT_TRUE(guard_.Add());
    // A configuration run removes a guard it did not add.
    EXPECT_TRUE(InstanceGuard("Velmora guard test").Delete());
    EXPECT_FALSE(guard_.Exists());
    EXPECT_EQ(::GlobalFindAtomW(kName), 0);
}

} // namespace
} // namespace velmora::platform
