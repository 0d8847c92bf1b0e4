#include "webupdate/qt/UpdateProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "ui/qt/DialogUnits.h"

namespace velmora::webupdate {
namespace {

QString FromText(std::string_view text)
{
    return QString::fromStdString(DisplayText(text));
}

QLabel* MakeLabel(QWidget* parent, const ui::DialogUnits& units, const QRect& rect, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(units.ToPixels(rect));
    return label;
}

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

UpdateProgressDialog::UpdateProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setFont(ui::TemplateFont());
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(false);
    const ui::DialogUnits units(font());
    setFixedSize(units.ToPixels(kSizeUnits));

    MakeLabel(this, units, kStatusLabelUnits, QStringLiteral("Status:"));
    status_ = MakeLabel(this, units, kStatusUnits, QString::fromLatin1(kInitialStatus));
    MakeLabel(this, units, kLocationLabelUnits, QStringLiteral("Location:"));
    location_ = MakeLabel(this, units, kLocationUnits, QStringLiteral("http://"));
    // A long address is cut at the control's edge as a static control cuts it.
    status_->setMinimumWidth(0);
    location_->setMinimumWidth(0);

    progress_ = new QProgressBar(this);
    progress_->setGeometry(units.ToPixels(kProgressUnits));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    MakeLabel(this, units, kRemainingLabelUnits, QStringLiteral("Time remaining:"))->hide();
    MakeLabel(this, units, kRemainingUnits, QStringLiteral("45 sec"))->hide();

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(units.ToPixels(kCancelUnits));
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });

    // Centred over the parent's window, or on the screen without one.
    const QRect area = parent
        ? parent->window()->frameGeometry()
        : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                            : QRect());
    if (area.isValid())
        move(area.center() - rect().center());
}

UpdateProgressDialog::~UpdateProgressDialog()
{
    if (pumping_)
        qApp->removeEventFilter(this);
}

void UpdateProgressDialog::SetStatus(std::string_view text)
{
    status_->setText(FromText(text));
}

void UpdateProgressDialog::SetPercent(int value)
{
    progress_->setRange(0, 100);
    progress_->setValue(value);
}

void UpdateProgressDialog::SetLocation(std::string_view text)
{
    location_->setText(QString::fromStdString(std::string(text)));
}

void UpdateProgressDialog::RequestCancel()
{
    // Only the first request counts; the update reads the flag while it
    // pumps this window and stops, a transfer under way included.
    cancelled_ = true;
    cancel_->setEnabled(false);
}

void UpdateProgressDialog::reject()
{
    RequestCancel();
}

void UpdateProgressDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    RequestCancel();
}

bool UpdateProgressDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (pumping_ && watched->isWidgetType() && IsUserInput(event->type())) {
        const QWidget* target = static_cast<QWidget*>(watched)->window();
        if (target != this)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void UpdateProgressDialog::PumpMessages()
{
    if (pumping_)
        return;
    pumping_ = true;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    pumping_ = false;
}

ShowMessageFn MessageBoxes(QWidget* parent)
{
    return [guard = QPointer<QWidget>(parent)](std::string_view text) {
        QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (caption.isEmpty())
            caption = QCoreApplication::applicationName();
        QMessageBox box(QMessageBox::NoIcon, caption,
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
            guard.data());
        box.exec();
    };
}

int UpdateProgressDialog::Finish()
{
    if (cancelled_) {
        done(QDialog::Rejected);
        return kFinishedCancelled;
    }
    done(QDialog::Accepted);
    return kFinishedOk;
}

} // namespace velmora::webupdate
