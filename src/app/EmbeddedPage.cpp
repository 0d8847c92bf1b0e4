#include "app/EmbeddedPage.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstring>

namespace velmora {

namespace {

constexpr uint8_t kClientMessage = 33;

} // namespace

EmbeddedPage::EmbeddedPage()
{
    connect(&parent_, &ForeignParent::Gone, this, &EmbeddedPage::Close);
}

EmbeddedPage::~EmbeddedPage()
{
    if (filtering_)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool EmbeddedPage::Create(unsigned long hostWindow)
{
    if (hostWindow == 0 || !parent_.Watch(hostWindow))
        return false;
    atoms_ = platform::InternMemberAtoms(parent_.Watcher().Connection());
    ui::SettingsPage::Services services;
    services.displayModes = &displayModes_;
    services.starter = &starter_;
    services.programPath = &platform::RunningProgramPath;
    page_ = std::make_unique<ui::SettingsPage>(services);
    parent_.Adopt(page_.get());
    pageWindow_ = static_cast<unsigned long>(page_->winId());
    QCoreApplication::instance()->installNativeEventFilter(this);
    filtering_ = true;
    return true;
}

bool EmbeddedPage::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !page_)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(message);
    if ((bytes[0] & 0x7f) != kClientMessage)
        return false;
    uint32_t window = 0;
    std::memcpy(&window, bytes + 4, 4);
    platform::MemberMessage command;
    if (window != pageWindow_ || !platform::DecodeMemberMessage(message, atoms_, command))
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
