#include "ui/qt/DialogUnits.h"

#include <QFontMetrics>

namespace velmora::ui {

namespace {

// units * base / divisor, rounded to nearest like the system's MulDiv, in 64
// bits so that no template value can overflow.
int ScaleRounded(int units, int base, int divisor)
{
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    const long long scaled = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    return static_cast<int>(scaled);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // (sum / 26 + 1) / 2 is the system's rounding of the 52-letter average.
    const int sum = metrics.horizontalAdvance(kLetters);
    baseWidth_ = (sum / 26 + 1) / 2;
    baseHeight_ = metrics.height();
    if (baseWidth_ < 1)
        baseWidth_ = 1;
    if (baseHeight_ < 1)
        baseHeight_ = 1;
}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : baseWidth_(baseWidth < 1 ? 1 : baseWidth)
    , baseHeight_(baseHeight < 1 ? 1 : baseHeight)
{
}

int DialogUnits::ToPixelsX(int units) const
{
    return ScaleRounded(units, baseWidth_, 4);
}

int DialogUnits::ToPixelsY(int units) const
{
    return ScaleRounded(units, baseHeight_, 8);
}

QFont TemplateFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    // Linux rarely has the face; fall back to the desktop's sans serif.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

} // namespace velmora::ui
