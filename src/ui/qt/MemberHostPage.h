#pragma once
// The page the collection dialog shows for another installed member of the
// collection (the empty template 148): a native child window whose id the
// member's program receives as "-1:<hex id>", so that it places its own
// settings page inside. The dialog's buttons reach that page through X11
// client messages, each acknowledged within a bounded wait, and the member
// is closed (storing its settings) before the host page goes. A member that
// never embeds, hangs or dies leaves an empty page, never a hung dialog.
// The keyboard reaches the member's page through the XEmbed handshake: the
// host page takes the dialog's focus for it (Tab, or a click in the page),
// tells the page with focus and activation messages, and hands it the keys.

#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <string>

#include "platform/MemberMessages.h"
#include "platform/Process.h"
#include "ui/model/SettingsDialogModel.h"

namespace velmora::ui {

class MemberHostPage final : public QWidget, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 148;
    // How long a member that has acknowledged its close gets to end, and
    // how long it gets after the request to terminate before it is killed.
    static constexpr int kEndWaitMs = 3000;
    static constexpr int kTerminateGraceMs = 1000;

    explicit MemberHostPage(QWidget* parent = nullptr);
    // Closes the member first.
    ~MemberHostPage() override;

    // Places the page at `rect` of its parent and starts the member's
    // program to embed its page here. False when the program cannot be
    // started; the page then stays empty.
    bool Create(const QRect& rect, const std::string& executablePath);

    // Sends Restore Defaults or Preview to the page window that is this
    // window's first child, whichever process made it, and waits (bounded)
    // until it has been handled.
    platform::MemberMessenger::Result Forward(PageCommand command);
    // Asks the page to close, which stores its settings, and waits for the
    // started member to end; ends it when it does not. A started process
    // that has already ended (a launcher) is not waited for. Idempotent.
    void CloseMember();

    unsigned long HostWindow() const { return hostWindow_; }
    const platform::ChildProcess& Process() const { return process_; }
    bool MemberRunning() { return process_.IsStarted() && process_.IsRunning(); }

signals:
    // The member's process has ended at the host's request: 0 when it
    // closed its page and quit, 128 + the signal when it had to be ended.
    void memberEnded(int exitCode);

protected:
    // The close request goes to the member's page, then the host page closes.
    void closeEvent(QCloseEvent* event) override;
    // Keys go to the member's page, Tab included.
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    platform::MemberMessenger::Result Send(platform::MemberCommand command);
    // The page's requests: the focus, or the dialog's next or previous
    // control after the page's own.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    // The member's page window, introduced to its embedder the first time
    // it is seen; 0 while there is none.
    unsigned long PageWindow();
    void SendEmbed(platform::EmbedMessage message, uint32_t detail = 0);

    platform::ChildProcess process_;
    platform::MemberMessenger messenger_;
    bool messengerOpen_ = false;
    bool closed_ = false;
    bool filtering_ = false;
    unsigned long notifiedPage_ = 0;
    // The time of the last key handed on: XEmbed's messages carry one.
    unsigned long lastKeyTime_ = 0;
    unsigned long hostWindow_ = 0;
};

} // namespace velmora::ui
