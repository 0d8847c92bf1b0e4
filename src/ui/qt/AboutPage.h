#pragma once
// The About tab's page (dialog template 142): who makes the program and how
// to reach them. Texts only; no behaviour.

#include <QWidget>

#include "ui/model/SettingsPageModel.h"

namespace velmora::ui {

class AboutPage final : public QWidget {
public:
    static constexpr QSize kSizeUnits {265, 153};
    explicit AboutPage(QWidget* parent = nullptr);
};

} // namespace velmora::ui
