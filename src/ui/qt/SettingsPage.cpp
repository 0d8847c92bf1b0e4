#include "ui/qt/SettingsPage.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>

#include "ui/qt/AboutPage.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/ProductPicture.h"

namespace velmora::ui {

namespace {

QString IdName(int id)
{
    return QString::number(id);
}

// Qt's check states in the order 0 unchecked, 1 partial, 2 checked; the
// page's values are 0 unchecked, 1 checked, 2 indeterminate.
int32_t CheckValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return kChecked;
    case Qt::PartiallyChecked:
        return kIndeterminate;
    case Qt::Unchecked:
        break;
    }
    return kUnchecked;
}

void SetCheckValue(QCheckBox* box, int32_t value)
{
    if (value == kIndeterminate) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        return;
    }
    box->setTristate(false);
    box->setCheckState(value == kChecked ? Qt::Checked : Qt::Unchecked);
}

} // namespace

void ModeComboBox::showPopup()
{
    emit aboutToDropDown();
    QComboBox::showPopup();
}

SettingsPage::SettingsPage(const Services& services, QWidget* parent)
    : QWidget(parent)
    , model_(*this, *services.displayModes, *services.starter, services.programPath)
{
    setObjectName(QStringLiteral("SettingsPage"));
    setFont(TemplateFont());
    BuildControls();
    model_.Initialise();
}

SettingsPage::~SettingsPage()
{
    // The controls are still alive here; they go with QWidget's destructor.
    model_.Save();
}

QSize SettingsPage::TemplateSize()
{
    return DialogUnits(TemplateFont()).ToPixels(kSizeUnits);
}

void SettingsPage::BuildControls()
{
    const DialogUnits units(font());
    resize(units.ToPixels(kSizeUnits));
    const auto place = [&](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(units.ToPixels(QRect(x, y, width, height)));
    };
    const auto label = [&](const char* text, int x, int y, int width, int height) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        place(l, x, y, width, height);
        return l;
    };

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(IdName(page133::kTabs));
    for (const std::string_view tab : kPageTabs)
        tabs_->addTab(new QWidget, QString::fromUtf8(tab.data(), static_cast<qsizetype>(tab.size())));
    place(tabs_, 0, 0, 271, 177);

    place(new QGroupBox(QStringLiteral("Settings"), this), 8, 14, 121, 109);
    place(new QGroupBox(QStringLiteral("Video mode"), this), 14, 23, 108, 43);

    videoMode_ = new ModeComboBox(this);
    videoMode_->setObjectName(IdName(page133::kVideoMode));
    videoMode_->setMaxVisibleItems(10);
    // The template's height includes the dropped list; the closed box is
    // as tall as its font needs.
    videoMode_->setGeometry(
        QRect(units.ToPixels(QPoint(21, 34)), QSize(units.ToPixelsX(91), videoMode_->sizeHint().height())));
    videoMode_->installEventFilter(this);
    connect(videoMode_, &ModeComboBox::aboutToDropDown, this, [this] { model_.ModeChoiceDroppedDown(); });

    useDesktop_ = new QCheckBox(QStringLiteral("Use desktop settings"), this);
    useDesktop_->setObjectName(IdName(page133::kUseDesktop));
    place(useDesktop_, 23, 52, 82, 10);
    connect(useDesktop_, &QCheckBox::clicked, this, [this] { model_.UseDesktopClicked(); });

    label("Animation speed:", 17, 68, 55, 8);
    speed_ = new QSlider(Qt::Horizontal, this);
    speed_->setObjectName(IdName(page133::kSpeed));
    speed_->setRange(kSpeedMin, kSpeedMax);
    speed_->setTickPosition(QSlider::TicksBelow);
    speed_->setTickInterval(10);
    speed_->setPageStep(10);
    place(speed_, 17, 80, 103, 17);
    label("slow", 19, 98, 15, 8);
    label("fast", 106, 97, 12, 8);

    randomSequence_ = new QCheckBox(QStringLiteral("Random sequence"), this);
    randomSequence_->setObjectName(IdName(page133::kRandomSequence));
    place(randomSequence_, 40, 110, 73, 10);

    demoMode_ = new QCheckBox(QStringLiteral("Ignore mouse move (\"Demo mode\")"), this);
    demoMode_->setObjectName(IdName(page133::kDemoMode));
    place(demoMode_, 136, 111, 126, 8);

    auto* picture = new QLabel(this);
    picture->setObjectName(QString::fromLatin1(page133::kPictureName));
    const QPixmap pixmap = ProductPicture();
    picture->setPixmap(pixmap);
    // A bitmap control takes the size of its bitmap.
    picture->setGeometry(QRect(
        units.ToPixels(QPoint(135, 18)), pixmap.isNull() ? units.ToPixels(QSize(129, 90)) : pixmap.size()));

    cameraLabel_ = label("Camera:", 16, 167, 27, 8);
    cameraLabel_->setObjectName(QString::fromLatin1(page133::kCameraLabelName));
    cameraLabel_->hide();
    camera_ = new QComboBox(this);
    camera_->setObjectName(IdName(page133::kCamera));
    for (std::string_view entry : kCameraEntries)
        camera_->addItem(QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size())));
    camera_->setGeometry(
        QRect(units.ToPixels(QPoint(47, 165)), QSize(units.ToPixelsX(74), camera_->sizeHint().height())));
    camera_->hide();

    connect(tabs_, &QTabWidget::currentChanged, this, &SettingsPage::SwitchTab);
}

void SettingsPage::SwitchTab(int index)
{
    const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    if (index == 1) {
        for (QWidget* child : children)
            if (child != tabs_)
                child->hide();
        delete about_;
        about_ = new AboutPage(this);
        // The tab control's display area, in page coordinates.
        QWidget* area = tabs_->currentWidget();
        about_->setGeometry(QRect(area->mapTo(this, QPoint(0, 0)), area->size()));
        about_->show();
        return;
    }
    // Showing every child also brings up the camera row hidden at creation;
    // from here on it stays.
    for (QWidget* child : children)
        if (child != tabs_)
            child->show();
    delete about_;
    about_ = nullptr;
}

void SettingsPage::RestoreDefaults()
{
    model_.RestoreDefaults();
}

void SettingsPage::Preview()
{
    model_.Preview();
}

void SettingsPage::SaveSettings()
{
    model_.Save();
}

bool SettingsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == videoMode_) {
        // A page inside another program's window is never the active
        // window, so a click gives the combo no focus event; the press
        // stands for it, as the click focuses the box on other systems.
        if (event->type() == QEvent::FocusIn
            || (event->type() == QEvent::MouseButtonPress && !videoMode_->hasFocus()))
            model_.ModeChoiceFocused();
    }
    return QWidget::eventFilter(watched, event);
}

ExchangeValues SettingsPage::ReadControls() const
{
    ExchangeValues values;
    values.speed = speed_->value();
    values.demoMode = CheckValue(demoMode_);
    values.useDesktop = CheckValue(useDesktop_);
    values.randomStart = CheckValue(randomSequence_);
    values.cameraIndex = camera_->currentIndex();
    return values;
}

void SettingsPage::WriteControls(const ExchangeValues& values)
{
    speed_->setValue(values.speed);
    SetCheckValue(demoMode_, values.demoMode);
    SetCheckValue(useDesktop_, values.useDesktop);
    SetCheckValue(randomSequence_, values.randomStart);
    camera_->setCurrentIndex(values.cameraIndex);
}

void SettingsPage::EnableModeChoice(bool enabled)
{
    videoMode_->setEnabled(enabled);
}

void SettingsPage::ShowModeList(const VideoModeList& list)
{
    const QSignalBlocker quiet(videoMode_);
    videoMode_->clear();
    for (const ModeEntry& entry : list.Entries())
        videoMode_->addItem(QString::fromStdString(entry.text), entry.itemValue);
    videoMode_->setCurrentIndex(list.Selected());
}

int SettingsPage::SelectedModeEntry() const
{
    return videoMode_->currentIndex();
}

} // namespace velmora::ui
