#include "SaveLastMinutesDialog.h"

#include "Dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

// What an automatic capture takes from before its event.
constexpr int PROPOSED_MINUTES = 2;
constexpr int PATH_CHARACTERS = 48;

} // namespace

TSaveLastMinutesDialog::TSaveLastMinutesDialog(int maxMinutes, const QString &proposedPath, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Save Last Minutes"));
    setObjectName(QStringLiteral("SaveLastMinutesDialog"));
    auto *form = new QFormLayout(this);

    SpinBox_Minutes = new QSpinBox;
    SpinBox_Minutes->setObjectName(QStringLiteral("SpinBox_Minutes"));
    SpinBox_Minutes->setRange(1, std::max(1, maxMinutes));
    SpinBox_Minutes->setValue(std::min(PROPOSED_MINUTES, SpinBox_Minutes->maximum()));
    SpinBox_Minutes->setSuffix(QStringLiteral(" minutes"));
    form->addRow(QStringLiteral("Save the last:"), SpinBox_Minutes);

    Edit_Path = new QLineEdit(proposedPath);
    Edit_Path->setObjectName(QStringLiteral("Edit_Path"));
    Edit_Path->setMinimumWidth(fontMetrics().averageCharWidth() * PATH_CHARACTERS);
    auto *browse = new QPushButton(QStringLiteral("Browse..."));
    connect(browse, &QPushButton::clicked, this, [this] { RunGuarded([this] { BrowseClick(); }); });
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(Edit_Path, 1);
    pathRow->addWidget(browse);
    form->addRow(QStringLiteral("Into the file:"), pathRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

TSaveLastMinutesChoice TSaveLastMinutesDialog::Choice() const
{
    return {SpinBox_Minutes->value(), Edit_Path->text().trimmed()};
}

void TSaveLastMinutesDialog::BrowseClick()
{
    const QString path =
        ChooseFile(true, QStringLiteral("Save Last Minutes"), Edit_Path->text(), QStringLiteral("Recordings (*.log)"));
    if (!path.isEmpty())
        Edit_Path->setText(path);
}

std::optional<TSaveLastMinutesChoice> TSaveLastMinutesDialog::Ask(int maxMinutes, const QString &proposedPath,
                                                                  QWidget *parent)
{
    TSaveLastMinutesDialog dialog(maxMinutes, proposedPath, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.Choice().Path.isEmpty())
        return std::nullopt;
    return dialog.Choice();
}
