// Keeps a window's position between runs in an INI file: integer keys "Left"
// and "Top" in the window's own section. The size is never stored.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

// The application's own INI file, in the working directory.
inline const QString FORM_INI = QStringLiteral("FORM.INI");

class TFormSize {
public:
    // The file is FORM_INI unless given.
    TFormSize(QWidget *form, QString section, QString iniPath = FORM_INI);
    // Writes the position (the owner destroys this while the window is still whole).
    ~TFormSize();
    TFormSize(const TFormSize &) = delete;
    TFormSize &operator=(const TFormSize &) = delete;

    // Reads the stored position (the current one is the default) and moves the
    // window there, pulled back onto the desktop. Call once the size is set.
    void Restore();
    void Save() const;

    // Shifts a window rectangle so that it lies on the desktop: first its
    // right (bottom) edge back to the desktop's, then its left (top) edge
    // forward to the desktop's.
    static QPoint PlaceOnDesktop(const QRect &window, const QRect &desktop);

private:
    QWidget *form_;
    QString section_;
    QString iniPath_;
};
