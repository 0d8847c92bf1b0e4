#include "ui/qt/LoadingWindow.h"

#include <algorithm>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWindow>

#include "ui/qt/DialogUnits.h"

namespace velmora::ui {

LoadingWindow::LoadingWindow(QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , text_(new QLabel(QString::fromLatin1(kText), this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(TemplateFont());

    const DialogUnits units(font());
    setFixedSize(units.ToPixels(kSizeUnits));

    // The template's modal frame: a raised border round the whole box.
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    frame->setGeometry(rect());
    frame->lower();

    QRect textRect = units.ToPixels(kTextRectUnits);
    // A fallback face wider than the template's must not cut the text.
    textRect.setWidth(std::max(textRect.width(), text_->sizeHint().width()));
    text_->setGeometry(textRect);
    setEnabled(false);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box(QPoint(), size());
        box.moveCenter(screen->geometry().center());
        move(box.topLeft());
    }
}

void LoadingWindow::ShowNow()
{
    show();
    raise();
    // Mapping is asynchronous on X; wait for the first exposure, but never for
    // long, and never run input events here.
    const QDeadlineTimer deadline(500);
    while (!deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        if (windowHandle() && windowHandle()->isExposed())
            break;
    }
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace velmora::ui
