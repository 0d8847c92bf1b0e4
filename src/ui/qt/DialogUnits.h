#pragma once
// Dialog templates give their geometry in dialog units, which scale with the
// dialog's font: a horizontal unit is a quarter of the font's average
// character width, a vertical one an eighth of its height.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace velmora::ui {

class DialogUnits {
public:
    // Base units measured from `font` the way dialogs measure them: the
    // average advance of the 52 Latin letters, and the line height.
    explicit DialogUnits(const QFont& font);
    // Fixed base units, for callers that already know them.
    DialogUnits(int baseWidth, int baseHeight);

    int BaseWidth() const { return baseWidth_; }
    int BaseHeight() const { return baseHeight_; }

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QPoint ToPixels(QPoint units) const { return {ToPixelsX(units.x()), ToPixelsY(units.y())}; }
    QSize ToPixels(QSize units) const { return {ToPixelsX(units.width()), ToPixelsY(units.height())}; }
    QRect ToPixels(const QRect& units) const { return {ToPixels(units.topLeft()), ToPixels(units.size())}; }

private:
    int baseWidth_;
    int baseHeight_;
};

// The face every dialog template of the program names, at its point size.
QFont TemplateFont();

} // namespace velmora::ui
