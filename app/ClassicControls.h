// Controls drawn in the manner of the classic form the window's layout
// comes from.
#pragma once

#include <QGroupBox>
#include <QLabel>

// A group box whose caption sits in its etched top edge, so that controls
// placed a few pixels below the top clear both caption and edge.
class TGroupBox : public QGroupBox {
    Q_OBJECT
public:
    TGroupBox(const QString &title, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A static text in the manner of the classic one: plain text on its own
// opaque background, sized to its text. It may be given a right edge it
// must not pass; a longer text is then shown shortened in the middle, with
// the whole of it as the tooltip. text() always gives the whole text.
class TStaticText : public QLabel {
    Q_OBJECT
public:
    TStaticText(QWidget *parent, const QString &text, int left, int top);

    void SetText(const QString &text);
    // The x coordinate in the parent that the text must not pass; 0 = none.
    void SetRightLimit(int right);
    bool Shortened() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int rightLimit_ = 0;
};

// A picture that a keyboard reaches: Tab stops on it and a focus frame shows
// it, so that its context menu opens from the keyboard too. A click does not
// take the focus.
class TImage : public QLabel {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
