#pragma once
// The window shown while the web update runs (dialog template 139): what is
// being fetched, from where, and how far the update has come. It is modeless
// and kept alive by the update flow calling PumpMessages between its steps
// and while each transfer runs; Cancel stops the update there.

#include <QDialog>
#include <QRect>
#include <QSize>

#include "webupdate/ProgressSink.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora::webupdate {

class UpdateProgressDialog final : public QDialog, public ProgressSink {
public:
    static constexpr int kTemplateId = 139;
    static constexpr int kStatusId = 1027;
    static constexpr int kLocationId = 1028;
    static constexpr int kProgressId = 1025;
    static constexpr int kRemainingId = 1026;
    static constexpr const char* kCaption = "Web Update. Please wait...";
    static constexpr const char* kInitialStatus = "Downloading new products descriptions...";
    // Template geometry in dialog units.
    static constexpr QSize kSizeUnits {256, 82};
    static constexpr QRect kCancelUnits {199, 60, 50, 14};
    static constexpr QRect kProgressUnits {7, 43, 242, 12};
    static constexpr QRect kStatusLabelUnits {15, 13, 23, 8};
    static constexpr QRect kStatusUnits {43, 13, 206, 8};
    static constexpr QRect kLocationLabelUnits {8, 25, 30, 8};
    static constexpr QRect kLocationUnits {43, 25, 206, 8};
    static constexpr QRect kRemainingLabelUnits {8, 58, 50, 8};
    static constexpr QRect kRemainingUnits {62, 58, 52, 8};

    explicit UpdateProgressDialog(QWidget* parent = nullptr);
    ~UpdateProgressDialog() override;

    void SetStatus(std::string_view text) override;
    void SetPercent(int value) override;
    void SetLocation(std::string_view text) override;
    bool IsCancelled() const override { return cancelled_; }
    // Handles the events pending for this window and returns; input meant
    // for other windows of the program is held back meanwhile, so the
    // dialog underneath cannot start a second update.
    void PumpMessages() override;
    // Closes the window with Rejected when cancelling was asked for, else
    // Accepted; returns the matching kFinished value.
    int Finish() override;

    const QLabel* Status() const { return status_; }
    const QLabel* Location() const { return location_; }
    const QProgressBar* Progress() const { return progress_; }
    QPushButton* CancelButton() const { return cancel_; }

    // The close box and Escape ask for cancelling as the button does; the
    // window stays until the flow finishes.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RequestCancel();

    QLabel* status_;
    QLabel* location_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    bool cancelled_ = false;
    bool pumping_ = false;
};

// The web update's message boxes for a window: OK button, no icon, the
// program's file name as caption, modal over `parent`.
ShowMessageFn MessageBoxes(QWidget* parent);

} // namespace velmora::webupdate
