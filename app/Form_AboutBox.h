// The About dialog: the maker's logo, the product's name and version, and a
// notice line.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The version the About dialog shows.
inline constexpr char PRODUCT_VERSION[] = "1.06";

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *owner = nullptr);

    QFrame *Panel1 = nullptr;
    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Version = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *OKButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};

extern TAboutBox *AboutBox;
