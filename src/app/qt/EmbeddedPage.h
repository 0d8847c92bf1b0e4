#pragma once
// The settings page inside a window of another member of the collection
// ("-1:<hex window id>"): made a child of that window over its client area,
// answering the host's commands (close, 1027 Restore Defaults, 1028 Preview)
// as they arrive as X11 client messages, and storing its settings when it
// is closed or the host's window goes away. The keyboard comes with the
// host's XEmbed focus messages, which Qt's X11 platform handles; Tab past
// the page's last control (Shift+Tab past its first) hands the focus back.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <memory>

#include "app/qt/ForeignParent.h"
#include "platform/AppDisplay.h"
#include "platform/MemberMessages.h"
#include "platform/Process.h"
#include "ui/qt/SettingsPage.h"

namespace velmora {

class EmbeddedPage final : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    EmbeddedPage();
    ~EmbeddedPage() override;

    // False when `hostWindow` is no live window; otherwise the page is
    // shown inside it without taking the focus.
    bool Create(unsigned long hostWindow);

    ui::SettingsPage* Page() const { return page_.get(); }

signals:
    // The page has been closed and its settings stored: the run ends.
    void Finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void Handle(const platform::MemberMessage& message);
    // Destroys the page (which stores the settings) and ends the run.
    void Close();

    std::unique_ptr<platform::DisplayModeSource> displayModes_ = platform::OpenDisplayModeSource();
    platform::SystemProcessStarter starter_;
    ForeignParent parent_;
    platform::MemberAtoms atoms_;
    std::unique_ptr<ui::SettingsPage> page_;
    unsigned long pageWindow_ = 0;
    bool filtering_ = false;
};

} // namespace velmora
