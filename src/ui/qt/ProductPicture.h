#pragma once
// Bitmap 145, the product picture (192 x 144 pixels, 256 colours), kept as
// the program's Qt resource.

#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace velmora::ui {

inline constexpr int kProductPictureId = 145;
inline constexpr int kProductPictureWidth = 192;
inline constexpr int kProductPictureHeight = 144;

// The resource path of a bitmap by id (":/bitmaps/145.bmp").
QString BitmapResourcePath(int id);
// The file's bytes; empty when the program has no such bitmap.
QByteArray BitmapResourceBytes(int id);
QPixmap ProductPicture();

} // namespace velmora::ui
