#pragma once
// The program's own message boxes: OK button, the executable's base name as
// caption.

#include <QMessageBox>
#include <QString>

namespace velmora {

// The executable's file name without its folder (and without an extension).
QString ProgramCaption();

// Modal; returns when the user closed the box.
void ShowMessageBox(QMessageBox::Icon icon, const QString& text);

} // namespace velmora
