#include "ui/qt/AboutPage.h"

#include <QLabel>

#include "ui/qt/DialogUnits.h"
#include "ui/qt/ProductPicture.h"

namespace velmora::ui {

AboutPage::AboutPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("AboutPage"));
    setFont(TemplateFont());
    const DialogUnits units(font());
    const auto text = [&](const char* s, int x, int y, int width, int height, Qt::Alignment align) {
        auto* l = new QLabel(QString::fromUtf8(s), this);
        l->setAlignment(align);
        l->setGeometry(units.ToPixels(QRect(x, y, width, height)));
        return l;
    };
    text(page142::kTitle, 7, 7, 254, 28, Qt::AlignHCenter | Qt::AlignTop);
    auto* picture = new QLabel(this);
    const QPixmap pixmap = ProductPicture();
    picture->setPixmap(pixmap);
    picture->setGeometry(QRect(units.ToPixels(QPoint(7, 41)), pixmap.size()));
    text(page142::kContactUs, 141, 39, 60, 8, Qt::AlignLeft | Qt::AlignTop);
    auto* web = text(page142::kWeb, 146, 49, 110, 18, Qt::AlignLeft | Qt::AlignTop);
    web->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* mail = text(page142::kMail, 145, 70, 110, 18, Qt::AlignLeft | Qt::AlignTop);
    mail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text(page142::kCollection, 6, 141, 254, 8, Qt::AlignLeft | Qt::AlignTop);
}

} // namespace velmora::ui
