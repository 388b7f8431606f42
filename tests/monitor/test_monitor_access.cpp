// The monitor window as a screen reader and a keyboard meet it: names and
// texts read as shown, Tab page by page, the grid's menu from the keyboard.
#include "KeyboardAccess.h"
#include "KeyboardWalk.h"
#include "HistoryTab.h"
#include "MonitorWindowFixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

using namespace monitor_test;

namespace {

QString AccessibleName(QObject *object)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(object);
    return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// What a screen reader reads in a grid's cell (its model's row and column).
QString ReadCell(TStringGrid *grid, int row, int column)
{
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(grid)->tableInterface()->cellAt(row, column);
    return cell != nullptr ? cell->text(QAccessible::Name) : QStringLiteral("(no cell)");
}

class MonitorAccess : public MonitorWindow {
protected:
    void SetUp() override
    {
        MonitorWindow::SetUp();
        form->ListenOnly = 1; // shown without a bus
    }
};

TEST_F(MonitorAccess, EveryControlHasANameAndTablesReadAsShown)
{
    form->show();
    EXPECT_EQ(UnnamedControls(form.get()).join(QStringLiteral("; ")).toStdString(), "");
    QTabWidget *pages = form->PageControl1;
    for (int i = 0; i < pages->count(); ++i)
        for (QTableView *table : pages->widget(i)->findChildren<QTableView *>())
            EXPECT_EQ(AccessibleName(table), pages->tabText(i));

    TStringGrid *data = form->AdvStringGrid_MTU_Data;
    EXPECT_EQ(ReadCell(data, 0, 1), QStringLiteral("Missing Data"));
    EXPECT_EQ(ReadCell(data, 0, 0), QStringLiteral("Stop Activated"));
    Receive(2, 1500, 100);
    Tick();
    EXPECT_EQ(ReadCell(data, 1, 1), QStringLiteral("1500"));
    EXPECT_EQ(ReadCell(data, 1, 2), QStringLiteral("0x000005dc"));
    EXPECT_EQ(ReadCell(form->AdvStringGrid_J1939, 0, 1), QStringLiteral("00 00 00 00 00 00 00 00"));

    // The offline banner and the status panel read what they show.
    EXPECT_EQ(AccessibleName(form->StaticText_MTUOffline), QStringLiteral("MTU OFFLINE"));
    QLabel *status = nullptr;
    for (QLabel *label : form->StatusBar1->findChildren<QLabel *>())
        if (label->text() == form->StatusText())
            status = label;
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(AccessibleName(status), QStringLiteral("MTU Status: Offline!!!!!!!!!!"));
}

TEST_F(MonitorAccess, TabGoesFromThePageTabsThroughThatPageToClose)
{
    QTabWidget *pages = form->PageControl1;
    QTabBar *tabs = pages->findChild<QTabBar *>();
    ASSERT_NE(tabs, nullptr);
    const std::vector<std::vector<QWidget *>> onPage = {
        {form->AdvStringGrid_MTU_Data, form->CheckBox_DataLocked, form->Button1},
        {form->AdvStringGrid_MTU_FaultCodes},
        {form->AdvStringGrid_DinBus},
        {form->AdvStringGrid_J1939},
        {form->TabSheet_History->Table(), form->TabSheet_History->findChild<QPushButton *>()},
    };
    ASSERT_GE(size_t(pages->count()), onPage.size());
    for (size_t i = 0; i < onPage.size(); ++i) {
        pages->setCurrentIndex(int(i));
        std::vector<QWidget *> expected{tabs};
        expected.insert(expected.end(), onPage[i].begin(), onPage[i].end());
        expected.push_back(form->Button_Close);
        EXPECT_EQ(TabWalk(form.get(), pages), expected) << "page " << pages->tabText(int(i)).toStdString();
    }
}

TEST_F(MonitorAccess, ShiftF10OnTheEngineGridPlotsTheCurrentRow)
{
    InstallKeyboardContextMenu();
    QSignalSpy asked(form.get(), &TForm_MTU::PlotTrendRequested);
    form->PageControl1->setCurrentWidget(form->TabSheet_MTU_Data);
    TStringGrid *grid = form->AdvStringGrid_MTU_Data;
    ASSERT_FALSE(TabWalk(form.get(), grid, 0).empty());
    // Far down, so that the grid has scrolled: the menu is for the row the keyboard is on.
    for (const int row : {5, 120}) {
        grid->setCurrentIndex(grid->model()->index(row - 1, 1));
        grid->selectionModel()->clearSelection();
        QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
        ASSERT_TRUE(form->MtuDataMenu->isVisible()) << row;
        QTest::keyClick(form->MtuDataMenu, Qt::Key_Down);
        QTest::keyClick(form->MtuDataMenu, Qt::Key_Return);
        EXPECT_FALSE(form->MtuDataMenu->isVisible());
        ASSERT_EQ(asked.count(), 1) << row;
        EXPECT_EQ(asked.takeFirst().at(0).value<QList<int>>(), QList<int>{row});
    }
}

} // namespace
