#include "app/qt/PreviewWindow.h"

#include <QImage>
#include <QPainter>

#include <cstring>

#include "app/qt/MessageBox.h"
#include "ui/qt/ProductPicture.h"

namespace velmora {

namespace {

// The picture as an image with its rows in top-down order.
QImage AsImage(const DibPicture& picture)
{
    if (picture.Kind() == DibPicture::kEmpty)
        return {};
    const QImage::Format format
        = picture.Kind() == DibPicture::kRgb24 ? QImage::Format_BGR888 : QImage::Format_Grayscale8;
    QImage image(picture.Width(), picture.Height(), format);
    const int rowBytes = picture.Width() * (picture.Kind() == DibPicture::kRgb24 ? 3 : 1);
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row
            = picture.Pixels().data() + static_cast<std::size_t>(picture.Height() - 1 - y) * picture.Stride();
        std::memcpy(image.scanLine(y), row, static_cast<std::size_t>(rowBytes));
    }
    return image;
}

} // namespace

void DrawDibPicture(
    QPainter& painter, const DibPicture& picture, const QRect& destination, const QRect& source)
{
    const QImage image = AsImage(picture);
    if (image.isNull())
        return;
    // Sized in the device's own pixels, so a scaled screen gets the picture
    // scaled once, straight to what it shows, and a picture of exactly the
    // device size is copied pixel for pixel.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(qRound(destination.width() * ratio), qRound(destination.height() * ratio));
    QImage shown = pixels == source.size()
        ? image.copy(source)
        : image.copy(source).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown.setDevicePixelRatio(ratio);
    painter.drawImage(destination.topLeft(), shown);
}

PreviewWindow::PreviewWindow()
{
    setWindowTitle(QStringLiteral("Preview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&parent_, &ForeignParent::Gone, this, &PreviewWindow::Finished);
}

bool PreviewWindow::Create(unsigned long parentWindow)
{
    if (parentWindow == 0 || !parent_.Watch(parentWindow))
        return false;
    if (!LoadPicture())
        return false;
    parent_.Adopt(this);
    return true;
}

bool PreviewWindow::LoadPicture()
{
    const QByteArray bytes = ui::BitmapResourceBytes(ui::kProductPictureId);
    const auto result = picture_.LoadBitmapFile(
        reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
    switch (result) {
    case DibPicture::LoadResult::Loaded:
        return true;
    case DibPicture::LoadResult::UnsupportedDepth:
        ShowMessageBox(QMessageBox::Warning, QString::fromLatin1(DibPicture::kDepthMessage));
        return false;
    case DibPicture::LoadResult::Unreadable:
        break;
    }
    ShowMessageBox(QMessageBox::Warning, QString::fromLatin1(DibPicture::kCannotLoadMessage));
    return false;
}

void PreviewWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawDibPicture(painter, picture_, rect(), QRect(0, 0, picture_.Width(), picture_.Height()));
}

} // namespace velmora
