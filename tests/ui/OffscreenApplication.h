#pragma once
// The one QApplication of a widget suite, made on first use and kept for the
// whole process; off-screen unless the environment names a platform.

#include <QApplication>

namespace velmora::testing {

inline void EnsureOffscreenApplication()
{
    static int argc = 1;
    static char name[] = "widget_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!QApplication::instance())
        new QApplication(argc, argv); // lives for the whole process
}

} // namespace velmora::testing
