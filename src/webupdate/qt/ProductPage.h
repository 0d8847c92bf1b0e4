#pragma once
// The page the collection settings dialog shows for a product that is listed
// but not installed (dialog template 141): its title, its screenshot, three
// lines of description and a button that opens its download address with the
// desktop's default handler.

#include <functional>
#include <string>

#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>

class QLabel;
class QPushButton;

namespace velmora::webupdate {

class TitleLabel;

class ProductPage final : public QWidget {
public:
    static constexpr int kTemplateId = 141;
    static constexpr int kTitleId = 1037;
    static constexpr int kDownloadId = 1020;
    static constexpr int kLine1Id = 1034;
    static constexpr int kLine2Id = 1035;
    static constexpr int kLine3Id = 1036;
    static constexpr int kScreenshotId = 1033;
    static constexpr int kFrameId = 1017;
    static constexpr const char* kDownloadText = "Download Now!";
    static constexpr const char* kCaption = "NO PHOTO: It's Real Screenshot!";
    static constexpr const char* kHint = "Click to download using system default downloads manager.";
    // Template geometry in dialog units.
    static constexpr QSize kSizeUnits {268, 177};
    static constexpr QRect kTitleUnits {179, 3, 93, 10};
    static constexpr QRect kDownloadUnits {7, 146, 256, 16};
    static constexpr QRect kLineUnits[3] = {{181, 15, 85, 35}, {181, 54, 84, 32}, {182, 92, 78, 40}};
    static constexpr QRect kCaptionUnits {56, 126, 108, 8};
    static constexpr QRect kCaptionIconUnits {32, 126, 20, 20};
    static constexpr QRect kScreenshotUnits {4, 4, 172, 145};
    static constexpr QRect kHintUnits {29, 164, 233, 8};
    static constexpr QRect kFrameUnits {0, 0, 269, 177};
    static constexpr QRect kHintIconUnits {6, 163, 20, 20};

    // Hands a web address to the desktop; the default starts "xdg-open" with
    // the address as its one argument. Any other address is never handed on.
    using OpenAddressFn = std::function<bool(const std::string& address)>;

    explicit ProductPage(QWidget* parent = nullptr);

    // Places the page at `rect` of `parent` (the dialog's page area, in its
    // client coordinates) and fills it from a catalogue entry's texts. A
    // screenshot file that is missing or does not decode leaves the page
    // without a picture. Returns 1.
    int Create(const QRect& rect, QWidget* parent, const std::string& title, const std::string& description,
        const std::string& downloadUrl, const std::string& screenshotPath);

    void SetOpenAddress(OpenAddressFn open) { openAddress_ = std::move(open); }
    static bool OpenWithDesktop(const std::string& address);

    TitleLabel* Title() const { return title_; }
    QLabel* Line(int index) const { return lines_[index]; }
    QLabel* Screenshot() const { return screenshot_; }
    QPushButton* DownloadButton() const { return download_; }
    // The decoded screenshot; null when the page has none.
    const QImage& ScreenshotImage() const { return image_; }
    const std::string& DownloadAddress() const { return downloadUrl_; }

private:
    void LoadScreenshot(const std::string& path);
    void Download();

    TitleLabel* title_;
    QLabel* lines_[3];
    QLabel* screenshot_;
    QPushButton* download_;
    QRect screenshotArea_;
    QImage image_;
    std::string downloadUrl_;
    OpenAddressFn openAddress_;
};

// Turns a decoded picture (RGB, rows of width x 3 bytes without padding) into
// an image; the image's own rows are padded as it needs, so any width works.
QImage ImageFromRgbRows(const unsigned char* rgb, int width, int height);

} // namespace velmora::webupdate
