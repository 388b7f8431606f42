#include "QtTestSupport.h"

#include "Platform.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class ApplicationEnvironment : public ::testing::Environment {
public:
    explicit ApplicationEnvironment(std::function<QApplication *(int &, char **)> create) : create_(std::move(create)) {}

    void SetUp() override
    {
        PinTimeZone(); // as the application's main does, before any thread
        application_ = create_ ? create_(argc_, argv_) : new QApplication(argc_, argv_);
    }
    void TearDown() override
    {
        delete application_;
        application_ = nullptr;
    }

private:
    std::function<QApplication *(int &, char **)> create_;
    QApplication *application_ = nullptr;
    int argc_ = 1;
    char name_[8] = "tests";
    char *argv_[2] = {name_, nullptr};
};

} // namespace

bool InstallApplication(std::function<QApplication *(int &argc, char **argv)> create)
{
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment(std::move(create)));
    return true;
}

bool InstallApplicationInScratchDirectory()
{
    return InstallApplication([](int &argc, char **argv) {
        static ScopedWorkingDirectory scratch;
        return new QApplication(argc, argv);
    });
}

ScopedWorkingDirectory::ScopedWorkingDirectory() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

ScopedWorkingDirectory::~ScopedWorkingDirectory()
{
    QDir::setCurrent(previous_);
}
