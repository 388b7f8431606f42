// What widget tests share: one application object for the whole test
// program, and a temporary working directory (FORM.INI lands there).
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QApplication;

// Registers a gtest environment that creates the application object before
// the first test and deletes it after the last. `create` makes it (the plain
// QApplication unless given); call from a static initialiser.
bool InstallApplication(std::function<QApplication *(int &argc, char **argv)> create = {});
// The plain application, run in a fresh temporary working directory for the
// whole program: the monitor window writes FORM.INI where it runs.
bool InstallApplicationInScratchDirectory();

// Makes a fresh temporary directory the working directory for its lifetime.
class ScopedWorkingDirectory {
public:
    ScopedWorkingDirectory();
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
    ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

    QString FilePath(const QString &name) const { return dir_.filePath(name); }

private:
    QString previous_;
    QTemporaryDir dir_;
};
