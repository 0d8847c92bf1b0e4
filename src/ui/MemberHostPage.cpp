#include "ui/MemberHostPage.h"

#include <QCloseEvent>

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
}

MemberHostPage::~MemberHostPage()
{
    CloseMember();
}

bool MemberHostPage::Create(const QRect& rect, const std::string& executablePath)
{
    setGeometry(rect);
    hostWindow_ = static_cast<unsigned long>(winId());
    // Without an X server there is no one to talk to, but the member may
    // still be started and ended.
    messengerOpen_ = messenger_.Open();
    return process_.Start(MemberCommandLine(executablePath, hostWindow_));
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
