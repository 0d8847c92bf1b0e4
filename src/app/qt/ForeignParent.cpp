#include "app/qt/ForeignParent.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace velmora {

ForeignParent::ForeignParent() = default;

// The wrapper of the foreign window is left alone: giving it another parent
// would move the other program's window, and deleting it would take the
// adopted widget's window with it. It is small and lives to the process end.
ForeignParent::~ForeignParent() = default;

bool ForeignParent::Watch(unsigned long window)
{
    if (!watch_.Open(window))
        return false;
    notifier_ = std::make_unique<QSocketNotifier>(watch_.ConnectionFd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &ForeignParent::ReadEvents);
    // Requests over the watch's connection (the page's acknowledgements) may
    // have read events off the descriptor into the queue, where the notifier
    // cannot see them: they are looked at before the event loop waits.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (!watch_.IsGone() && watch_.HasQueuedEvents())
                ReadEvents();
        });
    return true;
}

void ForeignParent::Adopt(QWidget* widget)
{
    foreign_ = QWindow::fromWinId(static_cast<WId>(watch_.Window()));
    adopted_ = widget;
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    widget->setAttribute(Qt::WA_NativeWindow);
    widget->winId();
    widget->windowHandle()->setParent(foreign_);
    Fit();
    widget->show();
    // Events may already wait in the watch's queue, where no descriptor
    // wakeup will announce them.
    QTimer::singleShot(0, this, &ForeignParent::ReadEvents);
}

void ForeignParent::ReadEvents()
{
    const platform::ForeignWindowWatch::Changes changes = watch_.Poll();
    if (changes.gone) {
        notifier_->setEnabled(false);
        emit Gone();
        return;
    }
    if (changes.resized && adopted_)
        Fit();
}

void ForeignParent::Fit()
{
    // The watch reports the foreign window in the screen's pixels, Qt places
    // widgets in device-independent ones. Rounded up: a part of a pixel too
    // much is clipped by the foreign window, one too little would show its
    // background along an edge.
    const QWindow* own = adopted_->windowHandle();
    const qreal ratio = own ? own->devicePixelRatio() : 1.0;
    const auto logical = [ratio](int pixels) { return static_cast<int>(std::ceil(pixels / ratio - 1e-9)); };
    adopted_->setGeometry(0, 0, logical(watch_.Width()), logical(watch_.Height()));
}

} // namespace velmora
