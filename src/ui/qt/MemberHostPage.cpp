#include "ui/qt/MemberHostPage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include <string_view>

namespace velmora::ui {

namespace {

using Result = platform::MemberMessenger::Result;

} // namespace

MemberHostPage::MemberHostPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QString::number(kTemplateId));
    // The member draws into its own window on top; this one only holds it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Takes the dialog's keyboard focus on the member page's behalf.
    setFocusPolicy(Qt::StrongFocus);
}

MemberHostPage::~MemberHostPage()
{
    if (filtering_)
        QCoreApplication::instance()->removeNativeEventFilter(this);
    CloseMember();
}

bool MemberHostPage::Create(const QRect& rect, const std::string& executablePath)
{
    setGeometry(rect);
    hostWindow_ = static_cast<unsigned long>(winId());
    // Without an X server there is no one to talk to, but the member may
    // still be started and ended.
    messengerOpen_ = messenger_.Open();
    if (messengerOpen_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    return process_.Start(MemberCommandLine(executablePath, hostWindow_));
}

unsigned long MemberHostPage::PageWindow()
{
    if (!messengerOpen_)
        return 0;
    const unsigned long page = messenger_.FirstChild(hostWindow_);
    if (page != 0 && page != notifiedPage_) {
        // Tells the page who embeds it, and whether the dialog is active.
        notifiedPage_ = page;
        messenger_.SendEmbed(page, platform::EmbedMessage::EmbeddedNotify, 0, hostWindow_,
            platform::kEmbedProtocolVersion, lastKeyTime_);
        messenger_.SendEmbed(page,
            isActiveWindow() ? platform::EmbedMessage::WindowActivate
                             : platform::EmbedMessage::WindowDeactivate,
            0, 0, 0, lastKeyTime_);
    }
    return page;
}

void MemberHostPage::SendEmbed(platform::EmbedMessage message, uint32_t detail)
{
    if (const unsigned long page = PageWindow())
        messenger_.SendEmbed(page, message, detail, 0, 0, lastKeyTime_);
}

bool MemberHostPage::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    platform::EmbedEvent embed;
    const std::string_view type(eventType.constData(), static_cast<std::size_t>(eventType.size()));
    if (!platform::ReadEmbedMessage(type, message, hostWindow_, messenger_.Atoms(), embed))
        return false;
    switch (embed.message) {
    case platform::EmbedMessage::RequestFocus:
        // A click in the page: the dialog comes forward and its keyboard
        // goes to the page, which learns so from the focus-in.
        activateWindow();
        if (hasFocus())
            SendEmbed(
                platform::EmbedMessage::FocusEnter, static_cast<uint32_t>(platform::EmbedFocus::Current));
        else
            setFocus(Qt::MouseFocusReason);
        break;
    case platform::EmbedMessage::FocusNext:
    case platform::EmbedMessage::FocusPrev:
        if (hasFocus())
            focusNextPrevChild(embed.message == platform::EmbedMessage::FocusNext);
        break;
    default:
        break; // messages for an embedded page, not for its host
    }
    return true;
}

bool MemberHostPage::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The page's own mnemonics and keys come before the dialog's.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        lastKeyTime_ = static_cast<unsigned long>(key->timestamp());
        if (const unsigned long page = PageWindow())
            messenger_.ForwardKey(page, event->type() == QEvent::KeyPress, key->nativeScanCode(),
                key->nativeModifiers(), lastKeyTime_);
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

void MemberHostPage::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    if (PageWindow() == 0) {
        // Nothing to type into: Tab goes on past the empty page.
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            focusNextPrevChild(reason == Qt::TabFocusReason);
        return;
    }
    platform::EmbedFocus where = platform::EmbedFocus::Current;
    if (reason == Qt::TabFocusReason)
        where = platform::EmbedFocus::First;
    else if (reason == Qt::BacktabFocusReason)
        where = platform::EmbedFocus::Last;
    SendEmbed(platform::EmbedMessage::FocusEnter, static_cast<uint32_t>(where));
}

void MemberHostPage::focusOutEvent(QFocusEvent*)
{
    SendEmbed(platform::EmbedMessage::FocusLeave);
}

void MemberHostPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        SendEmbed(isActiveWindow() ? platform::EmbedMessage::WindowActivate
                                   : platform::EmbedMessage::WindowDeactivate);
    QWidget::changeEvent(event);
}

Result MemberHostPage::Send(platform::MemberCommand command)
{
    if (!messengerOpen_)
        return Result::NoConnection;
    // Whatever page window is the first child gets it: the process started
    // here may be a launcher that has handed over to the member and ended.
    return messenger_.SendToHosted(hostWindow_, command);
}

Result MemberHostPage::Forward(PageCommand command)
{
    return Send(command == PageCommand::Preview ? platform::MemberCommand::Preview
                                                : platform::MemberCommand::RestoreDefaults);
}

void MemberHostPage::CloseMember()
{
    if (closed_)
        return;
    closed_ = true;
    if (!process_.IsStarted() || !process_.IsRunning()) {
        // Not ours to wait for or to end; a page there stores its settings
        // and goes when asked.
        Send(platform::MemberCommand::Close);
        return;
    }
    switch (Send(platform::MemberCommand::Close)) {
    case Result::Handled: // its settings are stored; it is on its way out
    case Result::MemberGone:
        if (process_.Wait(kEndWaitMs)) {
            emit memberEnded(process_.ExitCode());
            return;
        }
        break;
    case Result::NoMember: // never showed its page: nothing of it to store
    case Result::TimedOut: // hangs
    case Result::NoConnection:
        break;
    }
    process_.Terminate(kTerminateGraceMs);
    emit memberEnded(process_.ExitCode());
}

void MemberHostPage::closeEvent(QCloseEvent* event)
{
    CloseMember();
    event->accept();
}

} // namespace velmora::ui
