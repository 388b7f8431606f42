#include "SpinEdit.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include <limits>

namespace {
// Room between the caption and the edit.
constexpr int CAPTION_GAP = 3;
} // namespace

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent), caption_(new QLabel(parent))
{
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::Changed);
    SetValue(0);
}

TSpinEdit::~TSpinEdit()
{
    // The caption belongs to the parent, which may outlive the edit.
    delete caption_.data();
}

int TSpinEdit::ParseValue(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

int TSpinEdit::Value() const
{
    return ParseValue(text());
}

void TSpinEdit::SetValue(int value)
{
    SetText(QString::number(value));
}

void TSpinEdit::SetText(const QString &text)
{
    lineEdit()->setText(text);
}

void TSpinEdit::SetCaption(const QString &text, CaptionPosition position)
{
    captionPosition_ = position;
    caption_->setText(text);
    // The caption names the edit for a screen reader, and its mnemonic, if it has one, leads there.
    caption_->setBuddy(this);
    caption_->adjustSize();
    PlaceCaption();
}

void TSpinEdit::setVisible(bool visible)
{
    QAbstractSpinBox::setVisible(visible);
    if (caption_)
        caption_->setVisible(visible);
}

void TSpinEdit::stepBy(int steps)
{
    // No limits, but no wrap-around at the ends of the integer range either.
    const long long stepped = static_cast<long long>(Value()) + steps;
    const long long lowest = std::numeric_limits<int>::min();
    const long long highest = std::numeric_limits<int>::max();
    SetValue(int(stepped < lowest ? lowest : stepped > highest ? highest : stepped));
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

QValidator::State TSpinEdit::validate(QString &, int &) const
{
    // Any text may stand in the edit; what is not a number reads as 0.
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const
{
}

void TSpinEdit::moveEvent(QMoveEvent *event)
{
    QAbstractSpinBox::moveEvent(event);
    PlaceCaption();
}

void TSpinEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractSpinBox::resizeEvent(event);
    PlaceCaption();
}

void TSpinEdit::changeEvent(QEvent *event)
{
    QAbstractSpinBox::changeEvent(event);
    if (!caption_)
        return;
    if (event->type() == QEvent::EnabledChange) {
        caption_->setEnabled(isEnabled());
    } else if (event->type() == QEvent::ParentChange) {
        caption_->setParent(parentWidget());
        PlaceCaption();
    }
}

void TSpinEdit::PlaceCaption()
{
    if (!caption_)
        return;
    const QRect edit = geometry();
    const QSize size = caption_->sizeHint();
    if (captionPosition_ == CaptionPosition::Left)
        caption_->setGeometry(edit.left() - CAPTION_GAP - size.width(),
                              edit.top() + (edit.height() - size.height()) / 2, size.width(), size.height());
    else
        caption_->setGeometry(edit.left(), edit.top() - CAPTION_GAP - size.height(), size.width(), size.height());
}
