#pragma once
// The product page's title: a static text painted by hand in its own font,
// optionally embossed (a light copy up and left, a shadow copy down and right,
// then the text itself).

#include <QColor>
#include <QFont>
#include <QLabel>

namespace velmora::webupdate {

class TitleLabel final : public QLabel {
public:
    explicit TitleLabel(QWidget* parent = nullptr);

    // Sets the colour and the emboss flag and replaces the font. A height of
    // 0 means the label's own height (in pixels). Without a face no font is
    // made and the label paints in the application's default font.
    void SetFont(const QColor& colour, int height, const QString& face, bool bold, bool italic,
        bool underline, bool strikeOut, bool emboss);

    const QColor& TextColour() const { return colour_; }
    bool Emboss() const { return emboss_; }
    bool HasOwnFont() const { return hasFont_; }
    // The font the label paints with.
    QFont PaintFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QColor colour_ = Qt::black;
    QFont font_;
    bool hasFont_ = false;
    bool emboss_ = false;
};

} // namespace velmora::webupdate
