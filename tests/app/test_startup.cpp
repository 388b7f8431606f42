// Start-up: the windows in their order, the message loop, the release of the
// windows, and exceptions shown instead of ending the program.
#include "AppTestSupport.h"
#include "Form_AboutBox.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "QelDouble.h"
#include "QtTestSupport.h"
#include "StartUp.h"
#include "TForm_MTU.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qeldouble::Reset();
        qeldouble::SetStoredConfiguration(Hardware(2, "can0"), CANopen(127, 250000));
    }
    void ExpectEverythingReleased()
    {
        EXPECT_EQ(MainForm, nullptr);
        EXPECT_EQ(AboutBox, nullptr);
        EXPECT_EQ(CopnInterface, nullptr);
        EXPECT_EQ(Form_MTU, nullptr);
    }
    ScopedWorkingDirectory directory;
    BoxRecorder boxes;
};

TEST_F(StartUpTest, CreatesTheWindowsRunsTheLoopAndReleasesEverything)
{
    bool ran = false;
    const int result = StartUp([&] {
        ran = true;
        EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Tarnwick"));
        EXPECT_NE(MainForm, nullptr);
        EXPECT_NE(AboutBox, nullptr);
        EXPECT_NE(CopnInterface, nullptr);
        EXPECT_NE(Form_MTU, nullptr);
        EXPECT_FALSE(Form_MTU->isVisible());
        EXPECT_TRUE(MainForm->isVisible());
        EXPECT_FALSE(AboutBox->isVisible());
        MainForm->move(30, 40);
        MainForm->close();
        return 0;
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(boxes.boxes.empty());
    ExpectEverythingReleased();
    // The adapter went offline before the library was released.
    const auto names = qeldouble::CallNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ((std::vector<std::string>(names.end() - 4, names.end())),
              (std::vector<std::string>{"SetOnline", "SetOnline", "CloseCard", "UnloadDriver"}));
    QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("MainForm/Left")).toInt(), 30);
}

TEST_F(StartUpTest, ClosingTheMainWindowEndsTheRealMessageLoop)
{
    QTimer::singleShot(0, [] { MainForm->close(); });
    EXPECT_EQ(StartUp(), 0);
    ExpectEverythingReleased();
}

TEST_F(StartUpTest, ExceptionFromTheLoopIsShownAndTheAdapterStillGoesOffline)
{
    const int result = StartUp([]() -> int { throw std::runtime_error("the loop broke"); });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("the loop broke"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Tarnwick"));
    ExpectEverythingReleased();
    EXPECT_EQ(qeldouble::CallsTo("SetOnline").size(), 2u);
    EXPECT_EQ(qeldouble::CallCount("UnloadDriver"), 1u);
}

TEST_F(StartUpTest, ExceptionWhileTheMainWindowIsBuiltIsShownAndNothingLeaks)
{
    qeldouble::SetResult("LoadDriver", 0);
    boxes.onShow = [](const ShownBox &box) {
        if (box.text == QStringLiteral("Cannot Load Driver"))
            throw std::runtime_error("no way on");
    };
    bool looped = false;
    EXPECT_EQ(StartUp([&] { looped = true; return 0; }), 0);
    EXPECT_FALSE(looped);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, QStringLiteral("no way on"));
    EXPECT_EQ(boxes.boxes[1].caption, QStringLiteral("Tarnwick"));
    ExpectEverythingReleased();
    EXPECT_EQ(qeldouble::CallCount("UnloadDriver"), 1u) << "the binding was released all the same";
}

} // namespace
