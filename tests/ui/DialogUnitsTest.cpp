// Dialog units to pixels, from fixed base units and from a real font.

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "ui/PageWidgetFixture.h"
#include "ui/qt/DialogUnits.h"

namespace velmora::ui {
namespace {

TEST(DialogUnits, ScalesByQuarterWidthAndEighthHeight)
{
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixelsX(4), 6);
    EXPECT_EQ(units.ToPixelsY(8), 13);
    EXPECT_EQ(units.ToPixelsX(134), 201);
    EXPECT_EQ(units.ToPixelsY(26), 42); // 42.25
    EXPECT_EQ(units.ToPixelsX(0), 0);
}

TEST(DialogUnits, RoundsHalvesAwayFromZero)
{
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixelsX(1), 2); // 1.5
    EXPECT_EQ(units.ToPixelsX(3), 5); // 4.5
    EXPECT_EQ(units.ToPixelsX(-3), -5); // -4.5
    EXPECT_EQ(units.ToPixelsY(4), 7); // 6.5
    EXPECT_EQ(units.ToPixelsY(5), 8); // 8.125
}

TEST(DialogUnits, ConvertsRectanglesPointsAndSizes)
{
    const DialogUnits units(8, 16);
    EXPECT_EQ(units.ToPixels(QRect(32, 8, 73, 8)), QRect(64, 16, 146, 16));
    EXPECT_EQ(units.ToPixels(QSize(134, 26)), QSize(268, 52));
    EXPECT_EQ(units.ToPixels(QPoint(-4, -8)), QPoint(-8, -16));
}

TEST(DialogUnits, LargeValuesDoNotOverflow)
{
    const DialogUnits units(1000, 1000);
    EXPECT_EQ(units.ToPixelsX(2000000), 500000000);
    EXPECT_EQ(units.ToPixelsY(-2000000), -250000000);
}

TEST(DialogUnits, BaseUnitsNeverZero)
{
    const DialogUnits units(0, -5);
    EXPECT_EQ(units.BaseWidth(), 1);
    EXPECT_EQ(units.BaseHeight(), 1);
}

TEST(DialogUnits, BaseUnitsComeFromTheLettersAverageAndLineHeight)
{
    testing::EnsureOffscreenApplication();
    const QFont font = TemplateFont();
    const QFontMetrics metrics(font);
    const int sum
        = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const DialogUnits units(font);
    EXPECT_EQ(units.BaseWidth(), (sum / 26 + 1) / 2);
    EXPECT_EQ(units.BaseHeight(), metrics.height());
    EXPECT_GT(units.BaseWidth(), 1);
}

TEST(DialogUnits, TemplateFontIsTheTemplatesFaceAtEightPoints)
{
    testing::EnsureOffscreenApplication();
    const QFont font = TemplateFont();
    EXPECT_EQ(font.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(font.pointSize(), 8);
}

} // namespace
} // namespace velmora::ui
