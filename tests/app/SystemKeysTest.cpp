// The keys that never end a run, as Qt reports them.

#include <gtest/gtest.h>

#include "app/qt/SystemKeys.h"

namespace velmora {
namespace {

TEST(IsSystemKey, PlainKeysAreNot)
{
    EXPECT_FALSE(IsSystemKey(Qt::Key_Space, Qt::NoModifier));
    EXPECT_FALSE(IsSystemKey(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(IsSystemKey(Qt::Key_F4, Qt::NoModifier));
    EXPECT_FALSE(IsSystemKey(Qt::Key_A, Qt::ShiftModifier));
    EXPECT_FALSE(IsSystemKey(Qt::Key_Control, Qt::ControlModifier));
}

TEST(IsSystemKey, AltCombinationsF10AndAltAre)
{
    EXPECT_TRUE(IsSystemKey(Qt::Key_F4, Qt::AltModifier));
    EXPECT_TRUE(IsSystemKey(Qt::Key_Tab, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_TRUE(IsSystemKey(Qt::Key_Alt, Qt::NoModifier));
    EXPECT_TRUE(IsSystemKey(Qt::Key_Alt, Qt::AltModifier));
    EXPECT_TRUE(IsSystemKey(Qt::Key_F10, Qt::NoModifier));
}

TEST(IsSystemKey, ControlAltIsAnOrdinaryCharacter)
{
    EXPECT_FALSE(IsSystemKey(Qt::Key_E, Qt::AltModifier | Qt::ControlModifier));
}

} // namespace
} // namespace velmora
