#include "webupdate/qt/TitleLabel.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace velmora::webupdate {

TitleLabel::TitleLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TitleLabel::SetFont(const QColor& colour, int height, const QString& face, bool bold, bool italic,
    bool underline, bool strikeOut, bool emboss)
{
    colour_ = colour;
    emboss_ = emboss;
    hasFont_ = !face.isEmpty();
    if (hasFont_) {
        QFont font(face);
        font.setPixelSize(height > 0 ? height : std::max(1, contentsRect().height()));
        font.setWeight(bold ? QFont::Bold : QFont::Normal);
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strikeOut);
        font.setStyleStrategy(QFont::PreferAntialias);
        font_ = font;
    }
    update();
}

QFont TitleLabel::PaintFont() const
{
    return hasFont_ ? font_ : QApplication::font();
}

void TitleLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    // New text shows at once, not at the next idle moment.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        update();
}

void TitleLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setFont(PaintFont());

    int flags = Qt::AlignTop | Qt::TextSingleLine;
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignHCenter)
        flags |= Qt::AlignHCenter;
    else if (horizontal & Qt::AlignRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;

    if (emboss_) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(area.translated(-1, -1), flags, text());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(area.translated(1, 1), flags, text());
    }
    painter.setPen(colour_);
    painter.drawText(area, flags, text());
}

} // namespace velmora::webupdate
