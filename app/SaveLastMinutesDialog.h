// "Save Last Minutes": how much of what the black box keeps, and where.
#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;
class QSpinBox;

struct TSaveLastMinutesChoice {
    int Minutes = 0;
    QString Path;
};

class TSaveLastMinutesDialog : public QDialog {
    Q_OBJECT
public:
    // maxMinutes: what the black box keeps; proposedPath in its folder.
    TSaveLastMinutesDialog(int maxMinutes, const QString &proposedPath, QWidget *parent = nullptr);

    QSpinBox *SpinBox_Minutes = nullptr;
    QLineEdit *Edit_Path = nullptr;

    TSaveLastMinutesChoice Choice() const;

    // Shows the dialog; nothing on Cancel or an empty path.
    static std::optional<TSaveLastMinutesChoice> Ask(int maxMinutes, const QString &proposedPath, QWidget *parent);

private:
    void BrowseClick();
};
