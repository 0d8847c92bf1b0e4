#pragma once
// The small box that says the screensaver is loading while the scene reads
// its art. Template 150: a disabled, captionless pop-up with one line of text,
// centred on the screen. It has no behaviour of its own.

#include <QDialog>

class QLabel;

namespace velmora::ui {

class LoadingWindow final : public QDialog {
public:
    static constexpr int kTemplateId = 150;
    // Template geometry in dialog units.
    static constexpr QSize kSizeUnits {134, 26};
    static constexpr QRect kTextRectUnits {32, 8, 73, 8};
    static constexpr const char* kText = "Loading screensaver...";

    explicit LoadingWindow(QWidget* parent = nullptr);

    // Shows the box and gives the event loop a bounded moment to put it on
    // the screen, so that it is visible during the blocking work that follows.
    void ShowNow();

    const QLabel* Text() const { return text_; }

private:
    QLabel* text_;
};

} // namespace velmora::ui
