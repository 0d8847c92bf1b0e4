// The product page and its title label, on Qt's offscreen platform.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "codec/JpegEncoder.h"
#include "TestHttpServer.h"
#include "ui/OffscreenApplication.h"
#include "ui/qt/DialogUnits.h"
#include "webupdate/ProductCatalogue.h"
#include "webupdate/qt/ProductPage.h"
#include "webupdate/qt/TitleLabel.h"

namespace velmora::webupdate {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;

class QtFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::velmora::testing::EnsureOffscreenApplication(); }
};

class ProductPageTest : public QtFixture {
protected:
    // A page inside a host window, as the settings dialog makes it.
    ProductPage* MakePage(const std::string& description, const std::string& screenshot,
        const std::string& url = "http://downloads.example/alder.exe")
    {
        auto* page = new ProductPage(&host_);
        EXPECT_EQ(page->Create(kRect, &host_, "Alder 3D", description, url, screenshot), 1);
        return page;
    }
    // Writes a JPEG made by the project's encoder: the left half red, the
    // right half blue, the lower half with green added.
    std::string WriteTwoToneJpeg(int width, int height) const
    {
        std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                p[0] = x < width / 2 ? 230 : 20;
                p[1] = y < height / 2 ? 20 : 200;
                p[2] = x < width / 2 ? 20 : 230;
            }
        const std::vector<uint8_t> jpeg = codec::EncodeJpeg(
            rgb.data(), width, height, 3, {.quality = 95, .sampling = codec::ChromaSampling::Full});
        const std::string path = (folder_.Path() / "two_tone.jpg").string();
        folder_.Write("two_tone.jpg", std::string(jpeg.begin(), jpeg.end()));
        return path;
    }

    static constexpr QRect kRect {10, 12, 400, 280};
    QWidget host_;
    testing::TempFolder folder_;
};

// [SECTION] Texts

struct DescriptionCase {
    const char* name;
    std::string description;
    std::string lines[3];
};

class ProductPageLinesTest : public ProductPageTest,
                             public ::testing::WithParamInterface<DescriptionCase> { };

TEST_P(ProductPageLinesTest, FillsTheThreeDescriptionControls)
{
    const DescriptionCase& c = GetParam();
    ProductPage* page = MakePage(c.description, "");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(page->Line(i)->text().toStdString(), c.lines[i]) << "line " << i + 1;
    EXPECT_EQ(page->Line(0)->objectName(), QStringLiteral("1034"));
    EXPECT_EQ(page->Line(2)->objectName(), QStringLiteral("1036"));
}

INSTANTIATE_TEST_SUITE_P(Descriptions, ProductPageLinesTest,
    ::testing::Values(DescriptionCase {"ThreeLines", "one\ntwo\nthree", {"one", "two", "three"}},
        DescriptionCase {"TwoLines", "one\ntwo\n", {"one", "two", ""}},
        DescriptionCase {"FiveLines", "one\ntwo\nthree\nfour\nfive", {"one", "two", "three"}},
        DescriptionCase {"BlankLineBeforeSecond", "one\n\ntwo\nthree", {"one", "two", "three"}},
        DescriptionCase {"IndentedLines", "one\n   two\n\t three", {"one", "two", "three"}},
        DescriptionCase {"LeadingLineFeed", "\none\ntwo", {"", "", ""}},
        DescriptionCase {"Empty", "", {"", "", ""}},
        DescriptionCase {
            "Utf8Text", "Caf\xc3\xa9 3D\nL\xc3\xa4nder", {"Caf\xc3\xa9 3D", "L\xc3\xa4nder", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DescriptionSplitTest, LongLinesAreCutAtACharacterStart)
{
    const std::string ascii(300, 'a');
    auto lines = SplitDescription(ascii + "\nnext");
    EXPECT_EQ(lines[0], std::string(255, 'a'));
    EXPECT_EQ(lines[1], "next");
    // 254 ASCII bytes and then a two-byte letter straddling the limit.
    lines = SplitDescription(std::string(254, 'b') + "\xc3\xa9" + "tail");
    EXPECT_EQ(lines[0], std::string(254, 'b'));
    // Leading spaces of the first line stay; a NUL ends the text.
    lines = SplitDescription(std::string("  one\ntwo\0three", 15));
    EXPECT_EQ(lines[0], "  one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2], "");
}

TEST_F(ProductPageTest, TitleAndPlacement)
{
    ProductPage* page = MakePage("one", "");
    EXPECT_EQ(page->parentWidget(), &host_);
    EXPECT_EQ(page->geometry(), kRect);
    EXPECT_EQ(page->Title()->text(), QStringLiteral("Alder 3D"));
    EXPECT_EQ(page->Title()->objectName(), QStringLiteral("1037"));
    EXPECT_EQ(page->DownloadButton()->text(), QStringLiteral("Download Now!"));
    const ui::DialogUnits units(page->font());
    EXPECT_EQ(page->DownloadButton()->geometry(), units.ToPixels(QRect(7, 146, 256, 16)));
    EXPECT_EQ(page->Title()->geometry(), units.ToPixels(QRect(179, 3, 93, 10)));
    // The title's font as the page sets it.
    const QFont font = page->Title()->PaintFont();
    EXPECT_EQ(font.pixelSize(), 16);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.italic());
    EXPECT_FALSE(font.underline());
    EXPECT_EQ(font.family(), QStringLiteral("Arial"));
    EXPECT_TRUE(page->Title()->Emboss());
    EXPECT_EQ(page->Title()->TextColour(), QColor(Qt::black));
}

// [SECTION] Screenshot

TEST_F(ProductPageTest, ShowsTheScreenshotAtItsOwnSize)
{
    const std::string path = VELMORA_TEST_DATA "/screenshot.jpg";
    ProductPage* page = MakePage("one", path);
    ASSERT_FALSE(page->ScreenshotImage().isNull());
    EXPECT_EQ(page->ScreenshotImage().size(), QSize(256, 192));
    const QPixmap shown = page->Screenshot()->pixmap();
    ASSERT_FALSE(shown.isNull());
    const ui::DialogUnits units(page->font());
    const QRect area = units.ToPixels(QRect(4, 4, 172, 145));
    EXPECT_EQ(page->Screenshot()->geometry().topLeft(), area.topLeft());
    EXPECT_LE(shown.width(), area.width());
    // The caption below the picture stays free.
    EXPECT_LE(page->Screenshot()->geometry().bottom(), units.ToPixelsY(126));
}

TEST_F(ProductPageTest, WidthThatIsNoMultipleOfFourKeepsItsRowsStraight)
{
    ProductPage* page = MakePage("one", WriteTwoToneJpeg(253, 61));
    const QImage& image = page->ScreenshotImage();
    ASSERT_EQ(image.size(), QSize(253, 61));
    // Rows handed over without their padding would slant: the colours of
    // the last rows would move sideways.
    for (const int y : {2, 58}) {
        const QColor left = image.pixelColor(4, y);
        const QColor right = image.pixelColor(248, y);
        EXPECT_GT(left.red(), 180) << y;
        EXPECT_LT(left.blue(), 70) << y;
        EXPECT_GT(right.blue(), 180) << y;
        EXPECT_LT(right.red(), 70) << y;
        EXPECT_EQ(image.pixelColor(126 - 6, y).green() > 110, y > 30) << y;
    }
}

struct MissingPicture {
    const char* name;
    std::string content; // empty: no file at all
};

class ProductPageNoPictureTest : public ProductPageTest,
                                 public ::testing::WithParamInterface<MissingPicture> { };

TEST_P(ProductPageNoPictureTest, PageComesUpWithoutAPicture)
{
    std::string path = (folder_.Path() / "web" / "ALDER3D" / "screenshot.jpg").string();
    if (!GetParam().content.empty())
        folder_.Write("web/ALDER3D/screenshot.jpg", GetParam().content);
    ProductPage* page = MakePage("one\ntwo", path);
    EXPECT_TRUE(page->ScreenshotImage().isNull());
    EXPECT_TRUE(page->Screenshot()->pixmap().isNull());
    EXPECT_EQ(page->Line(1)->text(), QStringLiteral("two"));
    EXPECT_EQ(page->Title()->text(), QStringLiteral("Alder 3D"));
}

INSTANTIATE_TEST_SUITE_P(Files, ProductPageNoPictureTest,
    ::testing::Values(MissingPicture {"NeverDownloaded", ""},
        MissingPicture {"ErrorPageSavedAsPicture", "<html><body>404</body></html>"},
        MissingPicture {"CutJpeg", std::string("\xff\xd8\xff\xe0\x00\x10JFIF", 10)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProductPageTest, EveryPageLoadsItsPictureAgain)
{
    const std::string path = VELMORA_TEST_DATA "/screenshot.jpg";
    ProductPage* first = MakePage("one", path);
    const QImage shown = first->ScreenshotImage();
    delete first;
    ProductPage* second = MakePage("one", path);
    EXPECT_EQ(second->ScreenshotImage(), shown);
    EXPECT_NE(second->ScreenshotImage().constBits(), shown.constBits());
}

// [SECTION] Download Now!

// A stand-in for xdg-open early on PATH that writes what it was given.
class FakeOpener {
public:
    explicit FakeOpener(const testing::TempFolder& folder)
        : record_(folder.Path() / "opened.txt")
        , oldPath_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        folder.Write("bin/xdg-open",
            "#!/bin/sh\nprintf '%s\\n' \"$#\" > \"" + record_.string()
                + ".part\"\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"" + record_.string()
                + ".part\"; done\nmv \"" + record_.string() + ".part\" \"" + record_.string() + "\"\n");
        fs::permissions(folder.Path() / "bin/xdg-open", fs::perms::owner_all);
        ::setenv("PATH", ((folder.Path() / "bin").string() + ":" + oldPath_).c_str(), 1);
    }
    ~FakeOpener() { ::setenv("PATH", oldPath_.c_str(), 1); }

    // What the opener was started with: the argument count, then each one.
    std::string WaitForRecord() const
    {
        for (int i = 0; i < 600 && !fs::exists(record_); ++i) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return ReadFileBytes(record_);
    }

private:
    fs::path record_;
    std::string oldPath_;
};

struct AddressCase {
    const char* name;
    const char* address;
    bool handedOn;
};

class ProductPageDownloadTest : public ProductPageTest, public ::testing::WithParamInterface<AddressCase> { };

// A web address goes on whole as one argument; anything else from the list
// (a file, a mail form, an option for the opener) is neither offered nor
// opened.
TEST_P(ProductPageDownloadTest, HandsOnlyWebAddressesOnUnchanged)
{
    const AddressCase& c = GetParam();
    const FakeOpener opener(folder_);
    ProductPage* page = MakePage("one", "", c.address);
    EXPECT_EQ(page->DownloadButton()->isEnabled(), c.handedOn);
    std::vector<std::string> opened;
    page->SetOpenAddress([&](const std::string& address) {
        opened.push_back(address);
        return ProductPage::OpenWithDesktop(address);
    });
    // The slot itself too, which a disabled button never reaches.
    QMetaObject::invokeMethod(page->DownloadButton(), "clicked");
    if (c.handedOn) {
        EXPECT_EQ(opener.WaitForRecord(), "1\n" + std::string(c.address) + "\n");
    }
    EXPECT_EQ(opened, c.handedOn ? std::vector<std::string> {c.address} : std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P(Addresses, ProductPageDownloadTest,
    ::testing::Values(AddressCase {"Http", "http://downloads.example/Alder 3D.exe", true},
        AddressCase {"Https", "https://downloads.example/get?id=7&lang=en", true},
        AddressCase {"File", "file:///usr/bin/xterm", false}, AddressCase {"Option", "--help", false},
        AddressCase {"Mail", "mailto:sales@example.com", false}, AddressCase {"Empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

// [SECTION] Title label

class TitleLabelTest : public QtFixture {
protected:
    // The label drawn on its own, with plain colours to look for.
    QImage Paint(TitleLabel& label, const QString& text = QStringLiteral("WWWW"))
    {
        QPalette palette = label.palette();
        palette.setColor(QPalette::Button, QColor(200, 200, 200));
        palette.setColor(QPalette::Light, QColor(255, 255, 255));
        palette.setColor(QPalette::Dark, QColor(0, 0, 255));
        label.setPalette(palette);
        label.setText(text);
        label.resize(160, 24);
        return label.grab().toImage();
    }
    static int Count(const QImage& image, QColor colour)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y) == colour;
        return n;
    }
};

TEST_F(TitleLabelTest, EmbossDrawsLightAndShadowCopies)
{
    for (const bool emboss : {true, false}) {
        TitleLabel label;
        label.SetFont(QColor(255, 0, 0), 16, QStringLiteral("Arial"), true, false, false, false, emboss);
        const QImage image = Paint(label);
        EXPECT_GT(Count(image, QColor(255, 0, 0)), 10) << emboss;
        EXPECT_EQ(Count(image, QColor(0, 0, 255)) > 0, emboss) << emboss;
        EXPECT_EQ(Count(image, QColor(255, 255, 255)) > 0, emboss) << emboss;
        EXPECT_GT(Count(image, QColor(200, 200, 200)), 100) << "background";
    }
}

TEST_F(TitleLabelTest, FontHeightAndFaceRules)
{
    TitleLabel label;
    label.resize(100, 30);
    label.SetFont(Qt::black, 0, QStringLiteral("Arial"), false, true, true, true, false);
    EXPECT_TRUE(label.HasOwnFont());
    EXPECT_EQ(label.PaintFont().pixelSize(), label.contentsRect().height());
    EXPECT_FALSE(label.PaintFont().bold());
    EXPECT_TRUE(label.PaintFont().underline());
    EXPECT_TRUE(label.PaintFont().strikeOut());
    label.SetFont(Qt::blue, 16, QString(), true, false, false, false, false);
    EXPECT_FALSE(label.HasOwnFont());
    EXPECT_EQ(label.PaintFont(), QApplication::font());
    EXPECT_EQ(label.TextColour(), QColor(Qt::blue));
}

TEST_F(TitleLabelTest, AlignmentFollowsTheLabel)
{
    for (const Qt::Alignment alignment : {Qt::AlignLeft, Qt::AlignRight}) {
        TitleLabel label;
        label.SetFont(QColor(255, 0, 0), 16, QStringLiteral("Arial"), true, false, false, false, false);
        label.setAlignment(alignment);
        const QImage image = Paint(label, QStringLiteral("W"));
        int left = 0, right = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(255, 0, 0))
                    (x < image.width() / 2 ? left : right)++;
        EXPECT_EQ(left > 0, alignment == Qt::AlignLeft);
        EXPECT_EQ(right > 0, alignment == Qt::AlignRight);
    }
}

} // namespace
} // namespace velmora::webupdate
