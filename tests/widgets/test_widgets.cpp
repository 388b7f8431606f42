// The spin edit with its caption, the window-position keeper, and the
// keyboard's ways: to a context menu, and page by page with Tab.
#include "FormSize.h"
#include "KeyboardAccess.h"
#include "KeyboardWalk.h"
#include "QtTestSupport.h"
#include "SpinEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <limits>

namespace {

const bool applicationInstalled = InstallApplication();

TEST(SpinEdit, TextReadsAsAnIntegerOrZero)
{
    const std::pair<const char *, int> cases[] = {
        {"7", 7}, {"300", 300}, {"-12", -12}, {"+5", 5}, {"  42 ", 42}, {"0", 0},
        {"", 0}, {"   ", 0}, {"abc", 0}, {"12abc", 0}, {"1.5", 0}, {"0x10", 0}, {"- 3", 0},
        {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", 0}, {"99999999999", 0},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(TSpinEdit::ParseValue(QString::fromLatin1(text)), value) << '"' << text << '"';

    QWidget form;
    TSpinEdit edit(&form);
    edit.SetValue(7);
    EXPECT_EQ(edit.text(), QStringLiteral("7"));
    edit.SetText(QStringLiteral("not a number"));
    EXPECT_EQ(edit.Value(), 0);
    EXPECT_EQ(edit.text(), QStringLiteral("not a number")) << "any text may stand in the edit";
}

TEST(SpinEdit, EveryTextChangeSignalsAndStepsHaveNoLimits)
{
    QWidget form;
    TSpinEdit edit(&form);
    edit.SetValue(299);
    QSignalSpy changes(&edit, &TSpinEdit::Changed);

    edit.stepBy(1);
    EXPECT_EQ(edit.Value(), 300);
    edit.SetText(QString());
    EXPECT_EQ(edit.Value(), 0);
    edit.stepBy(-5);
    EXPECT_EQ(edit.Value(), -5) << "no lower limit";
    EXPECT_EQ(changes.count(), 3);

    // Typed keys: one signal per character, and the arrows step.
    form.show();
    edit.setFocus();
    edit.SetText(QString());
    changes.clear();
    QTest::keyClicks(&edit, QStringLiteral("12"));
    EXPECT_EQ(edit.Value(), 12);
    EXPECT_EQ(changes.count(), 2);
    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.Value(), 13);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QString());
    EXPECT_EQ(edit.Value(), 0);

    // The ends of the integer range hold instead of wrapping round.
    edit.SetValue(std::numeric_limits<int>::max());
    edit.stepBy(1);
    EXPECT_EQ(edit.Value(), std::numeric_limits<int>::max());
    edit.SetValue(std::numeric_limits<int>::min());
    edit.stepBy(-1);
    EXPECT_EQ(edit.Value(), std::numeric_limits<int>::min());
}

TEST(SpinEdit, CaptionSitsBesideTheEditAndFollowsIt)
{
    QWidget form;
    form.resize(400, 200);
    TSpinEdit edit(&form);
    edit.setGeometry(310, 87, 71, 22);
    edit.SetCaption(QStringLiteral("Node ID:"));
    QLabel *caption = edit.Caption();
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->parentWidget(), &form);
    EXPECT_EQ(caption->text(), QStringLiteral("Node ID:"));
    EXPECT_LT(caption->geometry().right(), edit.geometry().left());
    EXPECT_GE(caption->width(), caption->sizeHint().width()) << "the caption is not cut";
    EXPECT_EQ(caption->geometry().center().y(), edit.geometry().center().y());

    form.show();
    EXPECT_TRUE(caption->isVisible());
    edit.hide();
    EXPECT_FALSE(caption->isVisible());
    edit.show();
    EXPECT_TRUE(caption->isVisible());
    edit.setEnabled(false);
    EXPECT_FALSE(caption->isEnabled());
    edit.setEnabled(true);

    // A screen reader hears the caption and the number shown.
    edit.SetText(QStringLiteral("42"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&edit);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Node ID:"));
    ASSERT_NE(accessible->valueInterface(), nullptr);
    EXPECT_EQ(accessible->valueInterface()->currentValue().toInt(), 42);

    edit.move(200, 150);
    EXPECT_LT(caption->geometry().right(), 200);
    edit.SetCaption(QStringLiteral("Node ID:"), TSpinEdit::CaptionPosition::Above);
    EXPECT_EQ(caption->x(), 200);
    EXPECT_LT(caption->geometry().bottom(), 150);
}

// Counts the presses of F10 that reach the widget it watches.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F10)
            ++presses;
        return false;
    }
};

TEST(KeyboardContextMenu, ShiftF10OpensTheFocusedControlsMenuOthersKeepTheKey)
{
    InstallKeyboardContextMenu();
    InstallKeyboardContextMenu();
    QWidget form;
    form.resize(200, 100);
    QLabel withMenu(QStringLiteral("menu"), &form);
    withMenu.setGeometry(10, 10, 80, 20);
    withMenu.setFocusPolicy(Qt::TabFocus);
    withMenu.setContextMenuPolicy(Qt::CustomContextMenu);
    QPushButton without(QStringLiteral("none"), &form);
    without.setGeometry(10, 50, 80, 25);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    QSignalSpy requests(&withMenu, &QWidget::customContextMenuRequested);
    withMenu.setFocus();
    QTest::keyClick(&withMenu, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(requests.count(), 1) << "once, however many filters see the key";
    EXPECT_TRUE(withMenu.rect().contains(requests.at(0).at(0).toPoint()));
    QTest::keyClick(&withMenu, Qt::Key_F10);
    QTest::keyClick(&withMenu, Qt::Key_F10, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(requests.count(), 1) << "F10 alone or with other keys is not the menu key";

    KeyCounter counter;
    without.installEventFilter(&counter);
    without.setFocus();
    QTest::keyClick(&without, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(counter.presses, 1) << "a control without a menu still gets the key";
    withMenu.setEnabled(false);
    QTest::keyClick(&withMenu, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(requests.count(), 1);
}

TEST(ChainFocusThroughPages, EachPagesControlsComeBetweenTheTabsAndTheLastControl)
{
    QWidget form;
    form.resize(300, 200);
    auto *pages = new QTabWidget(&form);
    pages->setGeometry(0, 0, 300, 150);
    auto *close = new QPushButton(QStringLiteral("Close"), &form);
    close->setGeometry(0, 160, 80, 25);
    // Made after the last control, as a page added later would be.
    std::vector<std::vector<QWidget *>> controls(2);
    for (int i = 0; i < 2; ++i) {
        auto *page = new QWidget;
        pages->addTab(page, QStringLiteral("Page %1").arg(i));
        for (int j = 0; j < 2; ++j)
            controls[size_t(i)].push_back(new QPushButton(QStringLiteral("%1.%2").arg(i).arg(j), page));
    }
    new QLabel(QStringLiteral("no focus"), pages->widget(0));
    ChainFocusThroughPages(pages, close);
    for (int i = 0; i < 2; ++i) {
        pages->setCurrentIndex(i);
        std::vector<QWidget *> expected{pages->tabBar()};
        expected.insert(expected.end(), controls[size_t(i)].begin(), controls[size_t(i)].end());
        expected.push_back(close);
        EXPECT_EQ(TabWalk(&form, pages), expected) << "page " << i;
    }
}

class FormSize : public ::testing::Test {
protected:
    QRect Desktop() const { return QGuiApplication::primaryScreen()->virtualGeometry(); }
    ScopedWorkingDirectory directory;
};

TEST_F(FormSize, PositionRoundTripsThroughItsOwnSection)
{
    {
        QWidget form;
        form.resize(432, 237);
        form.move(120, 80);
        TFormSize keeper(&form, QStringLiteral("MainForm"));
        QWidget other;
        other.resize(100, 100);
        other.move(30, 40);
        TFormSize otherKeeper(&other, QStringLiteral("Form_MTU"));
    } // both write on destruction
    QSettings ini(directory.FilePath(QStringLiteral("FORM.INI")), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("MainForm/Left")).toInt(), 120);
    EXPECT_EQ(ini.value(QStringLiteral("MainForm/Top")).toInt(), 80);
    EXPECT_EQ(ini.value(QStringLiteral("Form_MTU/Left")).toInt(), 30);
    EXPECT_FALSE(ini.contains(QStringLiteral("MainForm/Width"))) << "the size is never stored";

    QWidget form;
    form.resize(432, 237);
    form.move(5, 5);
    TFormSize keeper(&form, QStringLiteral("MainForm"));
    keeper.Restore();
    EXPECT_EQ(form.pos(), QPoint(120, 80));
    EXPECT_EQ(form.size(), QSize(432, 237));
}

TEST_F(FormSize, WithoutAFileTheCurrentPositionStays)
{
    QWidget form;
    form.resize(200, 100);
    form.move(173, 145);
    TFormSize keeper(&form, QStringLiteral("MainForm"));
    keeper.Restore();
    EXPECT_EQ(form.pos(), QPoint(173, 145));
}

TEST_F(FormSize, ValueThatIsNotANumberKeepsTheCurrentPosition)
{
    {
        QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
        ini.setValue(QStringLiteral("MainForm/Left"), QStringLiteral("abc"));
        ini.setValue(QStringLiteral("MainForm/Top"), 12);
    }
    QWidget form;
    form.resize(200, 100);
    form.move(173, 145);
    TFormSize keeper(&form, QStringLiteral("MainForm"));
    keeper.Restore();
    EXPECT_EQ(form.pos(), QPoint(173, 12));
}

TEST_F(FormSize, RestoredWindowIsMovedBackOntoTheDesktop)
{
    const QRect desktop = Desktop();
    ASSERT_TRUE(desktop.isValid());
    const auto restoreFrom = [&](int left, int top, QSize size) {
        {
            QSettings ini(QStringLiteral("FORM.INI"), QSettings::IniFormat);
            ini.setValue(QStringLiteral("MainForm/Left"), left);
            ini.setValue(QStringLiteral("MainForm/Top"), top);
        }
        QWidget form;
        form.resize(size);
        TFormSize keeper(&form, QStringLiteral("MainForm"));
        keeper.Restore();
        return form.pos();
    };
    const QSize size(432, 237);
    const int rightmost = desktop.left() + desktop.width() - size.width();
    const int lowest = desktop.top() + desktop.height() - size.height();
    EXPECT_EQ(restoreFrom(5000, 4000, size), QPoint(rightmost, lowest));
    EXPECT_EQ(restoreFrom(-300, -50, size), desktop.topLeft());
    EXPECT_EQ(restoreFrom(rightmost, 10, size), QPoint(rightmost, 10)) << "a window that fits stays put";
    // Wider and taller than the desktop: its left and top edges win.
    EXPECT_EQ(restoreFrom(100, 100, desktop.size() + QSize(50, 50)), desktop.topLeft());
}

TEST(FormSizePlacement, EdgesAreMeasuredFromTheDesktopsOrigin)
{
    const QRect desktop(-1280, 0, 2560, 1024); // a second screen to the left
    EXPECT_EQ(TFormSize::PlaceOnDesktop(QRect(-1400, 10, 200, 100), desktop), QPoint(-1280, 10));
    EXPECT_EQ(TFormSize::PlaceOnDesktop(QRect(1250, 1000, 200, 100), desktop), QPoint(1080, 924));
    EXPECT_EQ(TFormSize::PlaceOnDesktop(QRect(-100, 500, 200, 100), desktop), QPoint(-100, 500));
}

} // namespace
