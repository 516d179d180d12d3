// The completion, support and warning dialogs.
#include "app/gui/TextDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/Resources.h"

namespace {

QPushButton* addButton(QHBoxLayout* row, const QString& text)
{
    auto* button = new QPushButton(text);
    row->addWidget(button);
    return button;
}

}  // namespace

TextDialog::TextDialog(const QString& caption, const QString& okText, const QString& otherText,
                         QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(360);
    layout->addWidget(label, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    ok = addButton(row, okText);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (!otherText.isEmpty()) {
        other = addButton(row, otherText);
        connect(other, &QPushButton::clicked, this, &QDialog::reject);
    }
    row->addStretch();
    layout->addLayout(row);
}

void TextDialog::setText(const QString& text)
{
    label->setText(text);
}

QString TextDialog::text() const
{
    return label->text();
}

UpgradeCompletedDialog::UpgradeCompletedDialog(QWidget* parent)
    : TextDialog(tr("Upgrade Completed"), tr("Exit"), tr("Upgrade other Handset"), parent)
{
}

UpgradeDoneDialog::UpgradeDoneDialog(QWidget* parent)
    : TextDialog(tr("Upgrade is Complete"), tr("Exit"), tr("Upgrade another Handset"), parent)
{
}

TechSupportDialog::TechSupportDialog(QWidget* parent)
    : TextDialog(tr("Technical Support"), tr("Exit"), QString(), parent)
{
}

VersionWarningDialog::VersionWarningDialog(QWidget* parent)
    : TextDialog(tr("Version Downgrade Warning"), tr("Abort and Exit"), QString(), parent)
{
    setText(res::downgradeWarningText());
}
