#include "webupdate/qt/ProductPage.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "resources/DecodedImage.h"
#include "resources/JpegMemoryDecoder.h"
#include "ui/qt/DialogUnits.h"
#include "webupdate/DownloadAddress.h"
#include "webupdate/ProductCatalogue.h"
#include "webupdate/qt/TitleLabel.h"

namespace velmora::webupdate {
namespace {

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* MakeText(QWidget* parent, const ui::DialogUnits& units, const QRect& rect, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(units.ToPixels(rect));
    return label;
}

// Resource 136 stands beside the caption and the hint: the style's
// information sign at the standard icon size (32 pixels at most), kept inside
// the page, whose template ends a little above the lower icon's cell.
QLabel* MakeIcon(QWidget* parent, const ui::DialogUnits& units, const QRect& rect)
{
    constexpr int kIconSide = 32;
    auto* label = new QLabel(parent);
    const QRect area = units.ToPixels(rect);
    const int side = std::min({kIconSide, area.width(), area.height()});
    label->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(side, side));
    const int pageHeight = units.ToPixelsY(ProductPage::kSizeUnits.height());
    label->setGeometry(
        QRect(QPoint(area.left(), std::min(area.top(), pageHeight - side)), QSize(side, side)));
    return label;
}

} // namespace

QImage ImageFromRgbRows(const unsigned char* rgb, int width, int height)
{
    if (!rgb || width <= 0 || height <= 0)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgb + rowBytes * static_cast<std::size_t>(y), rowBytes);
    return image;
}

ProductPage::ProductPage(QWidget* parent)
    : QWidget(parent)
    , openAddress_(&ProductPage::OpenWithDesktop)
{
    setFont(ui::TemplateFont());
    const ui::DialogUnits units(font());
    resize(units.ToPixels(kSizeUnits));

    // Created bottom to top: the screenshot lies under the caption that is
    // written beneath it.
    auto* frame = new QFrame(this);
    frame->setObjectName(QString::number(kFrameId));
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setGeometry(units.ToPixels(kFrameUnits));
    frame->hide();

    screenshotArea_ = units.ToPixels(kScreenshotUnits);
    screenshot_ = new QLabel(this);
    screenshot_->setObjectName(QString::number(kScreenshotId));
    screenshot_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    screenshot_->setLineWidth(1);
    screenshot_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    screenshot_->setGeometry(screenshotArea_);

    MakeText(this, units, kCaptionUnits, QString::fromLatin1(kCaption));
    MakeIcon(this, units, kCaptionIconUnits);

    title_ = new TitleLabel(this);
    title_->setObjectName(QString::number(kTitleId));
    title_->setText(QStringLiteral("%Title%"));
    title_->setGeometry(units.ToPixels(kTitleUnits));

    static constexpr int kLineIds[3] = {kLine1Id, kLine2Id, kLine3Id};
    for (int i = 0; i < 3; ++i) {
        lines_[i] = MakeText(this, units, kLineUnits[i], QString());
        lines_[i]->setObjectName(QString::number(kLineIds[i]));
        lines_[i]->setWordWrap(true);
    }

    download_ = new QPushButton(QString::fromLatin1(kDownloadText), this);
    download_->setObjectName(QString::number(kDownloadId));
    download_->setGeometry(units.ToPixels(kDownloadUnits));
    connect(download_, &QPushButton::clicked, this, [this] { Download(); });

    MakeText(this, units, kHintUnits, QString::fromLatin1(kHint));
    MakeIcon(this, units, kHintIconUnits);
}

int ProductPage::Create(const QRect& rect, QWidget* parent, const std::string& title,
    const std::string& description, const std::string& downloadUrl, const std::string& screenshotPath)
{
    if (parent && parentWidget() != parent)
        setParent(parent);
    setGeometry(rect);

    title_->SetFont(Qt::black, 16, QStringLiteral("Arial"), true, true, false, false, true);
    const std::array<std::string, 3> lines = SplitDescription(description);
    for (int i = 0; i < 3; ++i)
        lines_[i]->setText(FromUtf8(lines[static_cast<std::size_t>(i)]));
    title_->setText(FromUtf8(title));
    downloadUrl_ = downloadUrl;
    // An address the page would refuse is not offered.
    download_->setEnabled(IsWebAddress(downloadUrl_));
    LoadScreenshot(screenshotPath);
    return 1;
}

void ProductPage::LoadScreenshot(const std::string& path)
{
    image_ = QImage();
    screenshot_->clear();
    screenshot_->setGeometry(screenshotArea_);
    if (path.empty())
        return;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return;
    const std::vector<unsigned char> bytes(
        (std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        return;
    DecodedImage decoded;
    JpegMemoryDecoder decoder;
    if (!decoder.Decode(bytes.data(), bytes.size(), decoded) || decoded.bitsPerPixel != 24)
        return;
    image_ = ImageFromRgbRows(decoded.pixels.get(), decoded.width, decoded.height);
    if (image_.isNull())
        return;

    // Shown at its own size from the top left, as the maker sizes it to leave
    // the caption below it free; a larger picture is scaled down to that room.
    const ui::DialogUnits units(font());
    const int edge = screenshot_->frameWidth();
    const QSize room(screenshotArea_.width() - 2 * edge,
        std::min(screenshotArea_.height(), units.ToPixelsY(kCaptionUnits.top()) - screenshotArea_.top() - 2)
            - 2 * edge);
    QPixmap pixmap = QPixmap::fromImage(image_);
    if (pixmap.width() > room.width() || pixmap.height() > room.height())
        pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    screenshot_->setPixmap(pixmap);
    screenshot_->setGeometry(QRect(screenshotArea_.topLeft(), pixmap.size() + QSize(2 * edge, 2 * edge)));
}

void ProductPage::Download()
{
    // The address comes from the network: a file, a program or an option for
    // the desktop's opener never goes on, only a web address.
    if (!IsWebAddress(downloadUrl_))
        return;
    if (openAddress_)
        openAddress_(downloadUrl_);
}

bool ProductPage::OpenWithDesktop(const std::string& address)
{
    // The address goes on unchanged as one argument; the page gets nothing
    // back, as the desktop's handler takes it from there.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {FromUtf8(address)});
}

} // namespace velmora::webupdate
