#include "Form_AboutBox.h"

#include "Look.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <qdrawutil.h>

TAboutBox *AboutBox = nullptr;

namespace {

// A panel whose outer bevel is lowered and whose inner bevel is raised.
class TBevelPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
};

QLabel *NewLabel(QWidget *parent, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget *owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("About"));
    setFont(FormFont());
    setFixedSize(226, 221);

    Panel1 = new TBevelPanel(this);
    Panel1->setGeometry(8, 8, 209, 169);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(24, 8, 161, 49);
    ProgramIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ProgramIcon->setPixmap(MakerLogo());
    ProductName = NewLabel(Panel1, QStringLiteral("Product Name"), 72, 64);
    Label3 = NewLabel(Panel1, QStringLiteral("Tarnwick"), 69, 82);
    Version = NewLabel(Panel1, QStringLiteral("Version"), 72, 104);
    Label2 = NewLabel(Panel1, QString::fromLatin1(PRODUCT_VERSION), 112, 104);
    Copyright = NewLabel(Panel1, QStringLiteral("Copyright"), 56, 128);
    Label1 = NewLabel(Panel1, QStringLiteral("QEL,LLC."), 112, 128);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(79, 188, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}
