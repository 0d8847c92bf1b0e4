// The Web Update button inside the real collection dialog, end to end: the
// catalogue, the progress window, the product page and the message boxes
// of the program, against a real HTTP server on 127.0.0.1, on Qt's
// offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/OffscreenApplication.h"
#include "ui/PageTestSupport.h"
#include "ui/qt/SettingsDialog.h"
#include "webupdate/qt/ProductPage.h"
#include "webupdate/qt/TitleLabel.h"
#include "webupdate/qt/UpdateProgressDialog.h"
#include "WebUpdateFixture.h"

namespace velmora::ui {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using webupdate::UpdateProgressDialog;
using webupdate::testing::PublishedProduct;

const std::vector<PublishedProduct> kTwo = {
    {"ALDER3D", "Alder 3D", "Tall trees.\nA quiet wood.\nFree to try."},
    {"CORVANE3D", "Corvane 3D"},
};

// Watches the program's windows while a click runs its own event loops:
// closes every message box (recording its text) and, once `cancelWhen`
// holds, presses Cancel in the progress window, counting the progress
// window's paints from then on.
class WindowWatcher final : public QObject {
public:
    explicit WindowWatcher(std::function<bool()> cancelWhen = {})
        : cancelWhen_(std::move(cancelWhen))
    {
        connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
        timer_.start(20);
    }

    Strings boxes;
    bool cancelPressed = false;
    int paintsWhileHeld = 0;
    QElapsedTimer sinceCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched == progress_ && holding_)
            ++paintsWhileHeld;
        return false;
    }

private:
    void Look()
    {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back(box->text().toStdString());
            box->accept();
            return;
        }
        auto* progress = FindProgress();
        if (!progress || !cancelWhen_)
            return;
        if (progress != progress_) {
            progress_ = progress;
            progress->installEventFilter(this);
        }
        if (!holding_ && cancelWhen_())
            holding_ = true;
        if (!holding_)
            return;
        // The window is asked to repaint while the server holds the transfer...
        progress->update();
        // ...and Cancel is pressed once it has shown it does.
        if (!cancelPressed && paintsWhileHeld >= 3) {
            progress->CancelButton()->click();
            cancelPressed = true;
            sinceCancel.start();
        }
    }
    static UpdateProgressDialog* FindProgress()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = dynamic_cast<UpdateProgressDialog*>(w); p && p->isVisible())
                return p;
        return nullptr;
    }

    std::function<bool()> cancelWhen_;
    QTimer timer_;
    QPointer<UpdateProgressDialog> progress_;
    bool holding_ = false;
};

class WebUpdateDialogTest : public webupdate::testing::WebUpdateFixture {
protected:
    static void SetUpTestSuite() { ::velmora::testing::EnsureOffscreenApplication(); }

    void TearDown() override
    {
        dialog_.reset();
        WebUpdateFixture::TearDown();
    }

    // The dialog as the program opens it, with the web update's own boxes.
    SettingsDialog& Open()
    {
        SettingsDialog::Services services;
        services.page.displayModes = &modes_;
        services.page.starter = &starter_;
        services.page.programPath = [] { return std::string("/usr/games/Velmora3D"); };
        services.showMessage = webupdate::MessageBoxes(nullptr);
        dialog_ = std::make_unique<SettingsDialog>(services, kOwnPageValue);
        dialog_->show();
        return *dialog_;
    }
    Strings Rows() const
    {
        Strings rows;
        for (int i = 0; i < dialog_->ProductList()->count(); ++i)
            rows.push_back(dialog_->ProductList()->item(i)->text().toStdString());
        return rows;
    }
    void PointAtNothing() const
    {
        ::setenv("KESTROVA3D_UPDATE_URL",
            ("http://127.0.0.1:" + std::to_string(webupdate::testing::ClosedPort()) + "/products.xml")
                .c_str(),
            1);
    }

    ::velmora::testing::FixedModes modes_;
    ::velmora::testing::RecordingStarter starter_;
    std::unique_ptr<SettingsDialog> dialog_;
};

const Strings kRowsOfTwo = {"Velmora 3D Screensaver", "Alder 3D", "Corvane 3D"};

TEST_F(WebUpdateDialogTest, WebUpdateFillsTheRowsShowsTheProductPageAndTheFailureBox)
{
    Publish(kTwo);
    SettingsDialog& dialog = Open();
    ASSERT_EQ(Rows(), Strings {"Velmora 3D Screensaver"}) << "nothing kept yet";

    WindowWatcher watcher;
    dialog.WebUpdateButton()->click();
    EXPECT_EQ(watcher.boxes, Strings {});
    ASSERT_EQ(Rows(), kRowsOfTwo);
    for (int row = 1; row <= 2; ++row)
        EXPECT_FALSE(dialog.ProductList()->item(row)->icon().isNull()) << "row " << row << " has no icon";
    EXPECT_FALSE(dialog.StartRandomBox()->isEnabled());

    dialog.ProductList()->setCurrentRow(1);
    auto* page = dynamic_cast<webupdate::ProductPage*>(dialog.Page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Title()->text(), QStringLiteral("Alder 3D"));
    EXPECT_EQ(page->Line(0)->text(), QStringLiteral("Tall trees."));
    EXPECT_EQ(page->Line(2)->text(), QStringLiteral("Free to try."));
    EXPECT_EQ(page->ScreenshotImage().size(), QSize(24, 16)) << "the downloaded screenshot";
    EXPECT_EQ(page->DownloadAddress(), "http://downloads.example/Alder 3D.exe");
    EXPECT_FALSE(dialog.PreviewButton()->isVisible());
    EXPECT_FALSE(dialog.RestoreDefaultsButton()->isVisible());

    // The server goes away: the failure box, and the rows and the page stay.
    PointAtNothing();
    dialog.WebUpdateButton()->click();
    EXPECT_EQ(watcher.boxes, Strings {"Failed to update products list Online!"});
    EXPECT_EQ(Rows(), kRowsOfTwo);
    EXPECT_EQ(dialog.Page(), page);
    EXPECT_EQ(dialog.ProductList()->currentRow(), 1);
}

// Cancel pressed while the server holds the list's transfer: the window
// kept repainting meanwhile, the update ends without a failure box,
// nothing of it is kept and the rows stay.
TEST_F(WebUpdateDialogTest, CancelEndsAStalledTransferWhileTheWindowRepaints)
{
    Publish(kTwo);
    SettingsDialog& dialog = Open();
    {
        WindowWatcher watcher;
        dialog.WebUpdateButton()->click();
        ASSERT_EQ(Rows(), kRowsOfTwo);
    }
    const std::string kept = webupdate::testing::ReadFileBytes(WebFolder() / "update.xml");
    const Strings files = webupdate::testing::ListFiles(WebFolder());

    ::setenv("KESTROVA3D_UPDATE_URL", server_->Url("/stall/500").c_str(), 1);
    WindowWatcher watcher([&] {
        const Strings paths = server_->RequestedPaths();
        return std::find(paths.begin(), paths.end(), "/stall/500") != paths.end();
    });
    dialog.WebUpdateButton()->click();
    const qint64 afterCancelMs = watcher.sinceCancel.isValid() ? watcher.sinceCancel.elapsed() : -1;
    EXPECT_TRUE(watcher.cancelPressed) << "the window never repainted while the transfer was held";
    EXPECT_GE(watcher.paintsWhileHeld, 3);
    EXPECT_EQ(watcher.boxes, Strings {}) << "no failure box for a cancel";
    EXPECT_EQ(Rows(), kRowsOfTwo);
    EXPECT_EQ(webupdate::testing::ReadFileBytes(WebFolder() / "update.xml"), kept);
    EXPECT_EQ(webupdate::testing::ListFiles(WebFolder()), files);
    std::printf("the update ended %lld ms after Cancel\n", static_cast<long long>(afterCancelMs));
}

} // namespace
} // namespace velmora::ui
