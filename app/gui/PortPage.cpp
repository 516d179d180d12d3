// Page 2, "Comm Setup": the port list and the device each name stands for.
#include "app/gui/PortPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <algorithm>

#include "comlink/PortNames.h"
#include "engine/UpgradeState.h"

namespace {

constexpr int kPorts = 4;

}  // namespace

PortPage::PortPage(UpgradeState& state) : WizardPage(tr("Comm Setup")), state(state)
{
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Select Serial Port Setup")), 0, 0, 1, 2);
    auto* caption = new QLabel(tr("Comm Port"));
    layout->addWidget(caption, 1, 0);
    list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(true);
    caption->setBuddy(list);
    layout->addWidget(list, 2, 0);
    devices = new QLabel;
    devices->setTextFormat(Qt::PlainText);
    devices->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(devices, 2, 1);
    layout->setColumnStretch(1, 1);
}

void PortPage::activate()
{
    if (refillList) {
        // The page lives on from one wizard run to the next: empty it first
        // so the list never holds a name twice.
        list->clear();
        for (int i = 1; i <= kPorts; ++i)
            list->addItem(tr("Comm %1").arg(i));
        list->setCurrentRow(0);
        refillList = false;
    }
    // Where each name leads on this machine, looked up afresh so that a
    // freshly plugged adapter shows.
    QStringList lines{tr("Device of each port:")};
    for (int i = 0; i < kPorts; ++i) {
        // On Windows every name has a device path; whether the port exists
        // is asked of the system without opening it.
        const QString path = QString::fromStdString(portDevicePath(i));
        QString where = path.isEmpty() ? tr("not present") : path;
        if (!path.isEmpty() && !portPresent(i))
            where = tr("%1, not present").arg(path);
        lines << tr("Comm %1 \u2192 %2").arg(i + 1).arg(where);
    }
    devices->setText(lines.join(QLatin1Char('\n')));
    list->setCurrentRow(state.portIndex);
    list->setFocus();
}

bool PortPage::validatePage()
{
    state.portIndex = static_cast<std::uint16_t>(std::max(0, list->currentRow()));
    return true;
}
