// The loading box of template 150.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "ui/PageWidgetFixture.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/LoadingWindow.h"

namespace velmora::ui {
namespace {

class LoadingWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::EnsureOffscreenApplication(); }
};

TEST_F(LoadingWindowTest, HoldsTheOneTextOfTheTemplate)
{
    LoadingWindow window;
    ASSERT_NE(window.Text(), nullptr);
    EXPECT_EQ(window.Text()->text(), QStringLiteral("Loading screensaver..."));
    EXPECT_EQ(window.findChildren<QLabel*>().size(), 1);
    EXPECT_EQ(LoadingWindow::kTemplateId, 150);
}

TEST_F(LoadingWindowTest, TemplateGeometryInDialogUnits)
{
    LoadingWindow window;
    const DialogUnits units(window.font());
    EXPECT_EQ(window.size(), QSize(units.ToPixelsX(134), units.ToPixelsY(26)));
    const QRect text = window.Text()->geometry();
    EXPECT_EQ(text.topLeft(), QPoint(units.ToPixelsX(32), units.ToPixelsY(8)));
    EXPECT_GE(text.width(), units.ToPixelsX(73));
    EXPECT_EQ(text.height(), units.ToPixelsY(8));
    // The whole text fits inside the box.
    EXPECT_LE(text.left() + window.Text()->sizeHint().width(), window.width());
}

TEST_F(LoadingWindowTest, DisabledCaptionlessAndNeverTakesFocus)
{
    LoadingWindow window;
    EXPECT_FALSE(window.isEnabled());
    EXPECT_FALSE(window.isModal());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(window.windowTitle().isEmpty());
}

TEST_F(LoadingWindowTest, CentredOnThePrimaryScreen)
{
    LoadingWindow window;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint centre = window.geometry().center();
    EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1);
}

TEST_F(LoadingWindowTest, ShowNowLeavesItVisible)
{
    LoadingWindow window;
    window.ShowNow();
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace velmora::ui
