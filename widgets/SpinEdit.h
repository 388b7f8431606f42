// An integer spin edit with an attached caption, in the manner of the classic
// spin edit: it has no lower or upper limit, any text may be typed, and text
// that is empty, blank or not an integer reads as 0. Every change of the text
// signals Changed().
//
// The caption is a label of its own in the edit's parent, kept beside the
// edit: it moves, shows, hides and greys out with it.
#pragma once

#include <QAbstractSpinBox>
#include <QLabel>
#include <QPointer>

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
    // What a screen reader reads as the edit's value.
    Q_PROPERTY(int value READ Value WRITE SetValue NOTIFY Changed USER true)
public:
    enum class CaptionPosition { Left, Above };

    explicit TSpinEdit(QWidget *parent = nullptr);
    ~TSpinEdit() override;

    int Value() const;
    void SetValue(int value);
    void SetText(const QString &text);

    void SetCaption(const QString &text, CaptionPosition position = CaptionPosition::Left);
    QLabel *Caption() const { return caption_; }

    // The value a text stands for: a decimal integer, blanks around it
    // allowed, within 32 bits; anything else is 0.
    static int ParseValue(const QString &text);

    void setVisible(bool visible) override;
    void stepBy(int steps) override;

signals:
    void Changed();

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void PlaceCaption();

    QPointer<QLabel> caption_;
    CaptionPosition captionPosition_ = CaptionPosition::Left;
};
