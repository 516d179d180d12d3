// The completion, support, warning and About dialogs.
#include "app/gui/Dialogs.h"

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

CTextDialog::CTextDialog(const QString& caption, const QString& okText, const QString& otherText,
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

void CTextDialog::setText(const QString& text)
{
    label->setText(text);
}

QString CTextDialog::text() const
{
    return label->text();
}

CUpgradeCompletedDlg::CUpgradeCompletedDlg(QWidget* parent)
    : CTextDialog(tr("Upgrade Completed"), tr("Exit"), tr("Upgrade other Handset"), parent)
{
}

CUpgradeDoneDlg::CUpgradeDoneDlg(QWidget* parent)
    : CTextDialog(tr("Upgrade is Complete"), tr("Exit"), tr("Upgrade another Handset"), parent)
{
}

CTechSupportDlg::CTechSupportDlg(QWidget* parent)
    : CTextDialog(tr("Technical Support"), tr("Exit"), QString(), parent)
{
}

CVersionWarningDlg::CVersionWarningDlg(QWidget* parent)
    : CTextDialog(tr("Version Downgrade Warning"), tr("Abort and Exit"), QString(), parent)
{
    setText(res::downgradeWarningText());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About unitflash"));
    auto* layout = new QHBoxLayout(this);
    auto* picture = new QLabel;
    picture->setPixmap(res::icon(res::Icon::Unit).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    layout->addWidget(picture);
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(res::loaderVersion()));
    lines->addWidget(new QLabel(tr("Firmware upgrade of the Display and Remote Handsets")));
    layout->addLayout(lines, 1);
    auto* ok = new QPushButton(tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
}
