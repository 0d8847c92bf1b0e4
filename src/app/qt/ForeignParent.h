#pragma once
// Placing a widget inside a window of another program: the widget's native
// window becomes a child of the foreign window over its whole client area,
// follows its size, and reports when the foreign window goes away.

#include <QObject>

#include <memory>

#include "platform/ForeignWindow.h"

class QSocketNotifier;
class QWidget;
class QWindow;

namespace velmora {

class ForeignParent final : public QObject {
    Q_OBJECT
public:
    ForeignParent();
    ~ForeignParent() override;

    // Starts watching `window`; false when it is no live window.
    bool Watch(unsigned long window);
    // Makes `widget` a child of the watched window over its client area
    // (whatever the screen's scale factor) and shows it without activating it.
    void Adopt(QWidget* widget);

    platform::ForeignWindowWatch& Watcher() { return watch_; }

signals:
    // The foreign window has been destroyed (our child went with it).
    void Gone();

private:
    void ReadEvents();
    // Gives the adopted widget the watched window's size.
    void Fit();

    platform::ForeignWindowWatch watch_;
    QWindow* foreign_ = nullptr;
    QWidget* adopted_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace velmora
