#include "app/qt/MessageBox.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace velmora {

QString ProgramCaption()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name;
}

void ShowMessageBox(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, ProgramCaption(), text, QMessageBox::Ok);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace velmora
