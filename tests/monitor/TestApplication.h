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
    static QApplication application(argc, argv);
    return application;
}

} // namespace monitor_test
