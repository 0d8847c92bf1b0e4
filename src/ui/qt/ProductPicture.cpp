#include "ui/qt/ProductPicture.h"

#include <QFile>

namespace velmora::ui {

QString BitmapResourcePath(int id)
{
    return QStringLiteral(":/bitmaps/%1.bmp").arg(id);
}

QByteArray BitmapResourceBytes(int id)
{
    QFile file(BitmapResourcePath(id));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QPixmap ProductPicture()
{
    return QPixmap(BitmapResourcePath(kProductPictureId), "BMP");
}

} // namespace velmora::ui
