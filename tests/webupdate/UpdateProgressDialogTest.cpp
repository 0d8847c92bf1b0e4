// The progress window of the web update, on Qt's offscreen platform.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/OffscreenApplication.h"
#include "ui/qt/DialogUnits.h"
#include "webupdate/qt/UpdateProgressDialog.h"

namespace velmora::webupdate {
namespace {

class UpdateProgressDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::velmora::testing::EnsureOffscreenApplication(); }
    void SetUp() override
    {
        dialog_.show();
        dialog_.PumpMessages();
    }

    UpdateProgressDialog dialog_;
};

TEST_F(UpdateProgressDialogTest, TemplateTextsAndGeometry)
{
    EXPECT_EQ(dialog_.windowTitle(), QStringLiteral("Web Update. Please wait..."));
    EXPECT_FALSE(dialog_.isModal());
    EXPECT_EQ(dialog_.Status()->text(), QStringLiteral("Downloading new products descriptions..."));
    EXPECT_EQ(dialog_.CancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(dialog_.CancelButton()->isDefault());
    EXPECT_EQ(dialog_.Progress()->minimum(), 0);
    EXPECT_EQ(dialog_.Progress()->maximum(), 100);
    const ui::DialogUnits units(dialog_.font());
    EXPECT_EQ(dialog_.size(), QSize(units.ToPixelsX(256), units.ToPixelsY(82)));
    EXPECT_EQ(dialog_.Progress()->geometry(), units.ToPixels(QRect(7, 43, 242, 12)));
    EXPECT_EQ(dialog_.CancelButton()->geometry(), units.ToPixels(QRect(199, 60, 50, 14)));
    // "Time remaining:" and its value are part of the template but never shown.
    int visibleLabels = 0, hiddenLabels = 0;
    for (const QLabel* label : dialog_.findChildren<QLabel*>())
        (label->isVisible() ? visibleLabels : hiddenLabels)++;
    EXPECT_EQ(visibleLabels, 4);
    EXPECT_EQ(hiddenLabels, 2);
}

TEST_F(UpdateProgressDialogTest, ShowsWhatTheUpdateReports)
{
    dialog_.SetStatus("Downloading screenshots && icons");
    dialog_.SetLocation("http://127.0.0.1/a&b.jpg");
    dialog_.SetPercent(66);
    EXPECT_EQ(dialog_.Status()->text(), QStringLiteral("Downloading screenshots & icons"));
    EXPECT_EQ(dialog_.Location()->text(), QStringLiteral("http://127.0.0.1/a&b.jpg"));
    EXPECT_EQ(dialog_.Progress()->value(), 66);
}

struct CancelCase {
    const char* name;
    int presses;
    bool viaCloseBox;
};

class UpdateProgressCancelTest : public UpdateProgressDialogTest,
                                 public ::testing::WithParamInterface<CancelCase> { };

TEST_P(UpdateProgressCancelTest, CancelIsRememberedUntilFinish)
{
    const CancelCase& c = GetParam();
    for (int i = 0; i < c.presses; ++i) {
        if (c.viaCloseBox)
            dialog_.close();
        else
            QTest::mouseClick(dialog_.CancelButton(), Qt::LeftButton);
        dialog_.PumpMessages();
    }
    EXPECT_EQ(dialog_.IsCancelled(), c.presses > 0);
    EXPECT_EQ(dialog_.CancelButton()->isEnabled(), c.presses == 0);
    // Cancelling neither closes the window nor stops the flow.
    EXPECT_TRUE(dialog_.isVisible());
    dialog_.SetPercent(50);
    EXPECT_EQ(dialog_.Progress()->value(), 50);
    const int finished = dialog_.Finish();
    EXPECT_EQ(finished, c.presses > 0 ? ProgressSink::kFinishedCancelled : ProgressSink::kFinishedOk);
    EXPECT_EQ(dialog_.result(), c.presses > 0 ? QDialog::Rejected : QDialog::Accepted);
    EXPECT_FALSE(dialog_.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Presses, UpdateProgressCancelTest,
    ::testing::Values(CancelCase {"None", 0, false}, CancelCase {"Once", 1, false},
        CancelCase {"Twice", 2, false}, CancelCase {"CloseBox", 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateProgressDialogTest, EscapeAsksForCancellingToo)
{
    QTest::keyClick(&dialog_, Qt::Key_Escape);
    EXPECT_TRUE(dialog_.IsCancelled());
    EXPECT_TRUE(dialog_.isVisible());
}

TEST_F(UpdateProgressDialogTest, PumpingAnswersThisWindowOnly)
{
    QWidget other;
    auto* button = new QPushButton(QStringLiteral("Web Update"), &other);
    int otherClicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++otherClicks; });
    other.show();
    int queued = 0;
    QMetaObject::invokeMethod(
        &dialog_, [&] { ++queued; }, Qt::QueuedConnection);

    const auto post = [](QWidget* target, QEvent::Type type) {
        const QPointF centre = QRectF(target->rect()).center();
        QCoreApplication::postEvent(target,
            new QMouseEvent(type, centre, target->mapToGlobal(centre), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
    };
    for (QWidget* target : {static_cast<QWidget*>(button), static_cast<QWidget*>(dialog_.CancelButton())}) {
        post(target, QEvent::MouseButtonPress);
        post(target, QEvent::MouseButtonRelease);
    }
    dialog_.PumpMessages();
    EXPECT_EQ(queued, 1);
    EXPECT_EQ(otherClicks, 0);
    EXPECT_TRUE(dialog_.IsCancelled());

    // Outside the pump the other window takes clicks again.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(otherClicks, 1);
}

TEST_F(UpdateProgressDialogTest, MessagesAreModalBoxesWithOkOnly)
{
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    // The box is modal: answer it from the event loop it runs.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        parent = box->parentWidget();
        box->accept();
    });
    MessageBoxes (&dialog_)("Failed to update products list Online!");
    EXPECT_EQ(text, QStringLiteral("Failed to update products list Online!"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(parent, &dialog_);
}

} // namespace
} // namespace velmora::webupdate
