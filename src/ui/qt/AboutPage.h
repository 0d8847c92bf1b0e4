#pragma once
// The About tab's page (dialog template 142): who makes the program and how
// to reach them. Texts only; no behaviour.

#include <QWidget>

namespace velmora::ui {

namespace page142 {
inline constexpr int kTemplateId = 142;
inline constexpr const char* kTitle = "Velmora 3D screensaver v1.0\n"
                                      "Copyright \u00a9 2026 Tarnwick Software.\n"
                                      "All rights reserved.";
inline constexpr const char* kContactUs = "Contact Us:";
inline constexpr const char* kWeb = "Web:\nwww.kestrova3d.com";
inline constexpr const char* kMail = "E-mail:\nvelmora@kestrova3d.com";
inline constexpr const char* kCollection
    = "(Velmora 3D screensaver is a part of our \"Kestrova 3D\" screensavers collection)";
} // namespace page142

class AboutPage final : public QWidget {
public:
    static constexpr QSize kSizeUnits {265, 153};
    explicit AboutPage(QWidget* parent = nullptr);
};

} // namespace velmora::ui
