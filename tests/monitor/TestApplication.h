// The widget tests' application, in a scratch working directory: the
// monitor window writes FORM.INI where it runs.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace monitor_test {

inline QApplication &TestApplication()
{
    static QTemporaryDir scratch;
    static const bool moved = QDir::setCurrent(scratch.path());
    (void)moved;
    static int argc = 1;
    static char name[] = "monitor-tests";
    static char *argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics made after it (the keyboard a key
    // press brings) go first at exit, and the application would reach them.
    static QApplication *application = new QApplication(argc, argv);
    return *application;
}

} // namespace monitor_test
