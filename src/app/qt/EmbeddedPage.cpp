#include "app/qt/EmbeddedPage.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

#include <string_view>

namespace velmora {

namespace {

// Whether Tab (or Shift+Tab) from the page's focused control would wrap
// round to its other end: the page's own place in its focus chain comes
// before any other control that takes the focus by Tab.
bool TabLeavesPage(QWidget* page, bool forward)
{
    QWidget* const focused = page->focusWidget();
    if (!focused)
        return true;
    QWidget* w = focused;
    // The chain is a ring through every widget of the page.
    for (int steps = 0; steps < 10000; ++steps) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == page || w == focused)
            return true;
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isEnabled() && w->isVisibleTo(page))
            return false;
    }
    return false;
}

} // namespace

EmbeddedPage::EmbeddedPage()
{
    connect(&parent_, &ForeignParent::Gone, this, &EmbeddedPage::Close);
}

EmbeddedPage::~EmbeddedPage()
{
    if (filtering_) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool EmbeddedPage::Create(unsigned long hostWindow)
{
    if (hostWindow == 0 || !parent_.Watch(hostWindow))
        return false;
    atoms_ = platform::InternMemberAtoms(parent_.Watcher().Connection());
    ui::SettingsPage::Services services;
    services.displayModes = displayModes_.get();
    services.starter = &starter_;
    services.programPath = &platform::RunningProgramPath;
    page_ = std::make_unique<ui::SettingsPage>(services);
    parent_.Adopt(page_.get());
    pageWindow_ = static_cast<unsigned long>(page_->winId());
    QCoreApplication::instance()->installNativeEventFilter(this);
    QCoreApplication::instance()->installEventFilter(this);
    filtering_ = true;
    return true;
}

bool EmbeddedPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !page_ || !watched->isWidgetType()
        || static_cast<QWidget*>(watched)->window() != page_.get())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
    const bool backward = key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && !forward);
    if ((!forward && !backward) || !TabLeavesPage(page_.get(), forward))
        return false;
    // The host moves its dialog's focus on, and takes the keyboard back.
    platform::SendEmbedMessage(parent_.Watcher().Connection(), atoms_, parent_.Watcher().Window(),
        forward ? platform::EmbedMessage::FocusNext : platform::EmbedMessage::FocusPrev);
    return true;
}

bool EmbeddedPage::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!page_)
        return false;
    platform::MemberMessage command;
    const std::string_view type(eventType.constData(), static_cast<std::size_t>(eventType.size()));
    if (!platform::ReadMemberCommand(type, message, pageWindow_, atoms_, command))
        return false;
    // Carried out after the event has been dispatched, never inside Qt's
    // own event handling (closing destroys the page's window).
    QMetaObject::invokeMethod(
        this, [this, command] { Handle(command); }, Qt::QueuedConnection);
    return true;
}

void EmbeddedPage::Handle(const platform::MemberMessage& message)
{
    if (!page_)
        return;
    switch (message.command) {
    case platform::MemberCommand::RestoreDefaults:
        page_->RestoreDefaults();
        break;
    case platform::MemberCommand::Preview:
        page_->Preview();
        break;
    case platform::MemberCommand::Reserved:
        break;
    case platform::MemberCommand::Close:
        // Stored before the acknowledgement, so the host may rely on the
        // settings once its send returns; the page stores them once more
        // as it goes, unchanged.
        page_->SaveSettings();
        platform::AcknowledgeMemberMessage(parent_.Watcher().Connection(), atoms_, message, pageWindow_);
        Close();
        return;
    }
    platform::AcknowledgeMemberMessage(parent_.Watcher().Connection(), atoms_, message, pageWindow_);
}

void EmbeddedPage::Close()
{
    if (!page_)
        return;
    page_.reset();
    emit Finished();
}

} // namespace velmora
