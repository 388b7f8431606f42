// The main window when the library file cannot be found at all.
#include "AppTestSupport.h"
#include "Main.h"
#include "QEL_COPN_Interface.h"
#include "QtTestSupport.h"

#include <QAction>
#include <QLabel>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(MainWindowWithoutLibrary, ReportsTheDriverAndShowsAnEmptyConfiguration)
{
    ASSERT_EQ(dlopen("libQEL_COPN.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
    ScopedWorkingDirectory directory;
    BoxRecorder boxes;
    auto form = std::make_unique<TMainForm>();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot Load Driver"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("ERROR"));
    EXPECT_EQ(boxes.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    EXPECT_EQ(form->StaticText_InterfaceType->text(), QString());
    EXPECT_EQ(form->StaticText_InterfaceConfigLabel1->text(), QStringLiteral("Not Configured"));
    EXPECT_EQ(form->StaticText_InterfaceConfig1->text(), QString());
    EXPECT_TRUE(form->StaticText_InterfaceConfigLabel2->isHidden());
    EXPECT_TRUE(form->StaticText_InterfaceConfig2->isHidden());
    EXPECT_EQ(form->StaticText_CANopenBaud->text(), QStringLiteral("0k"));
    EXPECT_EQ(form->StaticText_NodeID->text(), QStringLiteral("0"));
    EXPECT_EQ(form->InterfacePicture, 1);

    // The configuration window is missing too: nothing happens.
    form->MenuItem_NetworkConfiguration->trigger();
    EXPECT_EQ(form->StaticText_InterfaceConfigLabel1->text(), QStringLiteral("Not Configured"));
    EXPECT_EQ(boxes.boxes.size(), 1u);

    form->close();
    EXPECT_EQ(CopnInterface, nullptr);
}

} // namespace
