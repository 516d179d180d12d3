// The About box: the unit's picture, the loader version and one line.
#include "app/gui/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/Resources.h"

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About unitflash"));
    auto* layout = new QHBoxLayout(this);
    auto* picture = new QLabel;
    picture->setPixmap(res::icon(res::Icon::Unit).pixmap(res::kIconSize, res::kIconSize));
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
