// The collection dialog of template 102 on Qt's offscreen platform, over a
// private registry file, a kept product list in a temporary installation
// folder and stub member programs that record how they were started.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ui/PageWidgetFixture.h"
#include "ui/qt/MemberHostPage.h"
#include "ui/qt/SettingsDialog.h"
#include "ui/qt/SettingsPage.h"
#include "webupdate/qt/ProductPage.h"

namespace velmora::ui {
namespace {

namespace fs = std::filesystem;
using testing::StoredSettings;
using testing::StoreSpeed;

constexpr int kGenerousMs = 30000;

class SettingsDialogTest : public testing::PageWidgetFixture {
protected:
    std::unique_ptr<SettingsDialog> Open(int initialPage = kOwnPageValue)
    {
        SettingsDialog::Services services;
        services.page = PageServices();
        services.showMessage = [this](std::string_view text) { messages_.emplace_back(text); };
        auto dialog = std::make_unique<SettingsDialog>(services, initialPage);
        dialog->show();
        return dialog;
    }

    // A member program that writes its arguments to "<name>.args", then
    // waits to be ended.
    std::string InstallMember(const std::string& key, const std::string& title)
    {
        const fs::path program = registry_.Dir() / key;
        std::ofstream(program) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\nexec sleep 60\n";
        fs::permissions(program, fs::perms::owner_all);
        testing::RegisterMember(key, title, program.string());
        return program.string();
    }

    // The installation folder the installer registers; without one the
    // product list cannot be read and the user is told to reinstall.
    fs::path Install()
    {
        const fs::path install = registry_.Dir() / "install";
        fs::create_directories(install);
        testing::StoreCollectionValue("Velmora3D", "InstallPath", install.string() + "/");
        return install;
    }

    // A kept product list naming one product that is not installed, with
    // its icon (magenta keyed) and screenshot in the web folder.
    void KeepProductList()
    {
        const fs::path install = Install();
        const fs::path folder = install / "web" / "EMBER3D";
        fs::create_directories(folder);
        std::ofstream(install / "web" / "update.xml")
            << "<?xml version=\"1.0\"?>\n<English>\n<ProductsList>\n<Count>1</Count>\n"
               "<Product1><ID>EMBER3D</ID><Title>Ember 3D</Title><Version>1.0</Version><Description>"
               "<Text>Glowing coals.\nA warm screen.\nFree to try.</Text><ScreenshotURL>http://x/s.jpg"
               "</ScreenshotURL><IconURL>http://x/i.bmp</IconURL></Description>"
               "<DownloadURL>http://downloads.example/ember</DownloadURL></Product1>\n"
               "</ProductsList>\n</English>\n";
        QImage icon(32, 32, QImage::Format_RGB32);
        icon.fill(qRgb(255, 0, 255));
        for (int y = 8; y < 24; ++y)
            for (int x = 8; x < 24; ++x)
                icon.setPixel(x, y, qRgb(200, 80, 20));
        ASSERT_TRUE(icon.save(QString::fromStdString((folder / "icon.bmp").string()), "BMP"));
    }

    static QSlider* Speed(QWidget* page) { return testing::ControlById<QSlider>(page, page133::kSpeed); }
    static void Click(QListWidget* list, int row)
    {
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    static std::vector<std::string> ReadLines(const std::string& path)
    {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::vector<std::string> messages_;
};

// ---- The rows ----------------------------------------------------------------

TEST_F(SettingsDialogTest, AloneItListsOnlyThisProgram)
{
    Install(); // but no kept product list
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kestrova collection:  Velmora 3D screensaver"));
    EXPECT_EQ(dialog->size(), SettingsDialog::TemplateSize());
    QListWidget* list = dialog->ProductList();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Velmora 3D Screensaver"));
    EXPECT_FALSE(list->item(0)->icon().isNull());
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(dialog->StartRandomBox()->isEnabled());
    EXPECT_NE(qobject_cast<SettingsPage*>(dialog->Page()), nullptr);
    EXPECT_TRUE(dialog->PreviewButton()->isVisible());
    EXPECT_TRUE(dialog->RestoreDefaultsButton()->isVisible());
    // The program's icon and the six images of bitmap 138, all 32 x 32.
    ASSERT_EQ(dialog->Images().size(), kBaseImageCount);
    for (const QPixmap& image : dialog->Images())
        EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(SettingsDialogTest, MembersAndKeptProductsFollowInOrder)
{
    InstallMember("VELMORA3D", "Velmora 3D"); // this program's own entry is left out
    InstallMember("CORVANE3D", "Corvane 3D");
    KeepProductList();
    auto dialog = Open();
    QListWidget* list = dialog->ProductList();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Corvane 3D"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("Ember 3D"));
    EXPECT_EQ(dialog->Model().RowValues(), (std::vector<int> {-1, 0, 1}));
    // A script carries no icon section: an installed member without an icon.
    EXPECT_EQ(list->item(1)->icon().pixmap(32, 32).toImage(),
        dialog->Images()[kInstalledWithoutIconImage].toImage());
    EXPECT_TRUE(dialog->StartRandomBox()->isEnabled());
    // The product's bitmap with its magenta keyed out: clear corner, opaque middle.
    ASSERT_EQ(dialog->Images().size(), kBaseImageCount + 1);
    const QImage image = dialog->Images().back().toImage();
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
    EXPECT_EQ(image.pixel(16, 16), qRgb(200, 80, 20));
}

// ---- "Start random" --------------------------------------------------------

struct StartRandomCase {
    const char* name;
    bool accept; // OK, or the close box
    bool stored;
};

class StartRandomDialogTest : public SettingsDialogTest,
                              public ::testing::WithParamInterface<StartRandomCase> { };

TEST_P(StartRandomDialogTest, StateSurvivesOnlyOk)
{
    InstallMember("CORVANE3D", "Corvane 3D");
    {
        auto dialog = Open();
        ASSERT_TRUE(dialog->StartRandomBox()->isEnabled());
        EXPECT_FALSE(dialog->StartRandomBox()->isChecked());
        QTest::mouseClick(dialog->StartRandomBox(), Qt::LeftButton);
        ASSERT_TRUE(dialog->StartRandomBox()->isChecked());
        if (GetParam().accept)
            dialog->OkButton()->click();
        else
            dialog->reject();
        EXPECT_FALSE(dialog->isVisible());
    }
    EXPECT_EQ(ReadStartRandom(), GetParam().stored ? 1u : 0u);
    auto again = Open();
    EXPECT_EQ(again->StartRandomBox()->isChecked(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Close, StartRandomDialogTest,
    ::testing::Values(StartRandomCase {"Ok", true, true}, StartRandomCase {"CloseBox", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Pages -------------------------------------------------------------------

TEST_F(SettingsDialogTest, ReselectingThisProgramKeepsItsPage)
{
    StoreSpeed(30);
    auto dialog = Open();
    QWidget* page = dialog->Page();
    ASSERT_EQ(Speed(page)->value(), 30);
    StoreSpeed(90); // behind the page's back
    Click(dialog->ProductList(), 0);
    EXPECT_EQ(dialog->Page(), page);
    EXPECT_EQ(Speed(page)->value(), 30) << "reloaded";
    EXPECT_EQ(StoredSettings().AnimationSpeed, 90) << "saved";
}

TEST_F(SettingsDialogTest, SwitchingRowsSavesThisProgramAndHidesButtonsForProducts)
{
    KeepProductList();
    auto dialog = Open();
    Speed(dialog->Page())->setValue(80);
    Click(dialog->ProductList(), 1);
    EXPECT_EQ(StoredSettings().AnimationSpeed, 80);
    auto* product = dynamic_cast<webupdate::ProductPage*>(dialog->Page());
    ASSERT_NE(product, nullptr);
    EXPECT_EQ(product->DownloadAddress(), "http://downloads.example/ember");
    EXPECT_FALSE(dialog->PreviewButton()->isVisible());
    EXPECT_FALSE(dialog->RestoreDefaultsButton()->isVisible());
    // The page fills the hidden frame's area.
    EXPECT_EQ(product->geometry().topLeft(), dialog->PageArea().topLeft());

    Click(dialog->ProductList(), 0);
    ASSERT_NE(qobject_cast<SettingsPage*>(dialog->Page()), nullptr);
    EXPECT_EQ(Speed(dialog->Page())->value(), 80);
    EXPECT_TRUE(dialog->PreviewButton()->isVisible());
    EXPECT_TRUE(dialog->RestoreDefaultsButton()->isVisible());
}

TEST_F(SettingsDialogTest, ButtonsReachThisProgramsPage)
{
    StoreSpeed(70);
    auto dialog = Open();
    dialog->RestoreDefaultsButton()->click();
    EXPECT_EQ(Speed(dialog->Page())->value(), 50);
    EXPECT_EQ(StoredSettings().AnimationSpeed, 50);
    Speed(dialog->Page())->setValue(20);
    dialog->PreviewButton()->click();
    EXPECT_EQ(starter_.started, (std::vector<std::vector<std::string>> {{kProgram, "/sp"}}));
    EXPECT_EQ(StoredSettings().AnimationSpeed, 20) << "Preview stores first";
}

TEST_F(SettingsDialogTest, MemberRowStartsTheMemberForItsHostWindowAndEndsIt)
{
    const std::string program = InstallMember("CORVANE3D", "Corvane 3D");
    auto dialog = Open();
    Click(dialog->ProductList(), 1);
    auto* host = qobject_cast<MemberHostPage*>(dialog->Page());
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(dialog->PreviewButton()->isVisible());
    EXPECT_TRUE(host->MemberRunning());
    char argument[32];
    std::snprintf(argument, sizeof argument, "-1:%lX", host->HostWindow());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ReadLines(program + ".args").size() == 1; }, kGenerousMs));
    EXPECT_EQ(ReadLines(program + ".args"), std::vector<std::string> {argument});

    // The stub never shows a page: it is ended, and the dialog goes on.
    QSignalSpy ended(host, &MemberHostPage::memberEnded);
    Click(dialog->ProductList(), 0);
    ASSERT_EQ(ended.count(), 1);
    EXPECT_NE(ended.at(0).at(0).toInt(), 0);
    EXPECT_NE(qobject_cast<SettingsPage*>(dialog->Page()), nullptr);
}

TEST_F(SettingsDialogTest, ClosingTakesThePageFirst)
{
    InstallMember("CORVANE3D", "Corvane 3D");
    auto dialog = Open();
    Speed(dialog->Page())->setValue(64);
    dialog.reset();
    EXPECT_EQ(StoredSettings().AnimationSpeed, 64);

    // A hosted member is ended with the dialog, not left behind.
    dialog = Open(0);
    auto* host = qobject_cast<MemberHostPage*>(dialog->Page());
    ASSERT_NE(host, nullptr);
    const pid_t pid = host->Process().Id();
    ASSERT_GT(pid, 0);
    dialog.reset();
    EXPECT_NE(::kill(pid, 0), 0);
}

TEST(KeyOutMagentaTest, OnlyExactMagentaTurnsClear)
{
    const QRgb colours[] = {qRgb(255, 0, 255), qRgb(254, 0, 255), qRgb(255, 1, 255), qRgb(0, 0, 0)};
    QImage image(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        image.setPixel(x, 0, colours[x]);
    const QImage keyed = KeyOutMagenta(image);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    for (int x = 1; x < 4; ++x)
        EXPECT_EQ(keyed.pixel(x, 0), colours[x]) << x;
}

} // namespace
} // namespace velmora::ui
