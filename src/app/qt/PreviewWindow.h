#pragma once
// The host preview: a child window titled "Preview" inside the screensaver
// host's window that shows the product picture (bitmap 145) over the whole
// area, scaled smoothly when the sizes differ. No OpenGL, no animation.

#include <QWidget>

#include <memory>

#include "app/DibPicture.h"
#include "app/qt/ForeignParent.h"

class QPainter;

namespace velmora {

// Draws the `source` part of the picture into `destination`: copied when the
// sizes are equal in the device's pixels, smoothly scaled when they differ.
void DrawDibPicture(
    QPainter& painter, const DibPicture& picture, const QRect& destination, const QRect& source);

class PreviewWindow final : public QWidget {
    Q_OBJECT
public:
    PreviewWindow();

    // Fails (false) when the parent is no live window, or when the picture
    // cannot be loaded (after the picture's own message). Otherwise the
    // window covers the parent's client area and follows it.
    bool Create(unsigned long parentWindow);

    const DibPicture& Picture() const { return picture_; }

signals:
    // The host's window has gone, and this window with it.
    void Finished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool LoadPicture();

    DibPicture picture_;
    ForeignParent parent_;
};

} // namespace velmora
