// Message boxes, the exception display and the hourglass cursor.
#include "AppTestSupport.h"
#include "Dialogs.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

std::optional<Qt::CursorShape> OverrideShape()
{
    const QCursor *cursor = QApplication::overrideCursor();
    return cursor != nullptr ? std::optional(cursor->shape()) : std::nullopt;
}

TEST(Dialogs, BoxShowsTextAndCaptionAndReturnsTheButtonChosen)
{
    QString title, text;
    int buttonCount = 0;
    WhenModalShows([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttonCount = int(box->buttons().size());
        box->button(QMessageBox::No)->click();
    });
    const auto answer = ShowMessageBox(QStringLiteral("!!!Warning!!!\r\nIs it safe?"), QStringLiteral("WARNING"),
                                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(answer, QMessageBox::No);
    EXPECT_EQ(title, QStringLiteral("WARNING"));
    EXPECT_EQ(text, QStringLiteral("!!!Warning!!!\nIs it safe?"));
    EXPECT_EQ(buttonCount, 3);

    // Closing a question box answers Cancel.
    WhenModalShows([](QWidget *modal) { modal->close(); });
    EXPECT_EQ(ShowMessageBox(QStringLiteral("?"), QStringLiteral("ERROR"),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
              QMessageBox::Cancel);
}

TEST(Dialogs, HookAnswersInsteadOfAPerson)
{
    BoxRecorder boxes;
    boxes.answers = {QMessageBox::Yes};
    EXPECT_EQ(ShowMessageBox(QStringLiteral("a"), QStringLiteral("b"), QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    EXPECT_EQ(ShowMessageBox(QStringLiteral("c"), QStringLiteral("d")), QMessageBox::Ok);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, QStringLiteral("c"));
    EXPECT_EQ(boxes.boxes[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(Dialogs, GuardedHandlerShowsStandardExceptionsAndPassesOthersOn)
{
    BoxRecorder boxes;
    bool after = false;
    RunGuarded([] { throw std::runtime_error("Cannot do that"); });
    after = true;
    EXPECT_TRUE(after);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Cannot do that"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Tarnwick"));
    EXPECT_THROW(RunGuarded([] { throw 42; }), int);
}

TEST(Dialogs, HourglassRestoresTheCursorBeforeItHoweverTheScopeEnds)
{
    ASSERT_EQ(OverrideShape(), std::nullopt);
    {
        THourglassCursor hourglass;
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(OverrideShape(), std::nullopt);

    QApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    try {
        THourglassCursor hourglass;
        {
            THourglassCursor nested;
            EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        throw std::runtime_error("survey failed");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(OverrideShape(), Qt::PointingHandCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(OverrideShape(), std::nullopt);
}

} // namespace
