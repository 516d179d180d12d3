// Page 4, "ID the unit": starts the search and shows its status, its
// result, and why it failed.
#include "app/gui/IdentifyPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/gui/UnitSearch.h"
#include "comlink/PortProblem.h"
#include "engine/UpgradeState.h"

namespace {

constexpr int kPollMs = 50;

QString kindName(int kind)
{
    return kind == UNIT_DISPLAY ? IdentifyPage::tr("Display Handset") : IdentifyPage::tr("Remote Handset");
}

}  // namespace

IdentifyPage::IdentifyPage(UpgradeState& state, UnitSearch& search)
    : WizardPage(tr("ID the unit")), state(state), search(search)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(tr("Wait while we find out what Unit you have plugged into the serial cable.")));
    auto* group = new QGroupBox(tr("Status"));
    auto* inside = new QVBoxLayout(group);
    status = wrapped(tr("Status..."));
    found = new QLabel;
    detail = wrapped(QString());
    inside->addWidget(status);
    inside->addWidget(found);
    inside->addWidget(detail);
    layout->addWidget(group);
    layout->addStretch();
    timer.setInterval(kPollMs);
    connect(&timer, &QTimer::timeout, this, &IdentifyPage::poll);
    connect(&search, &UnitSearch::finished, this, &IdentifyPage::searchFinished);
}

void IdentifyPage::activate()
{
    identified = false;
    Q_EMIT completeChanged();
    search.start();
    status->clear();
    found->clear();
    found->hide();
    detail->clear();
    poll();
    timer.start();
}

void IdentifyPage::leave()
{
    timer.stop();
    search.stop();
}

void IdentifyPage::poll()
{
    status->setText(QString::fromStdString(state.statusText()));
    if (state.unitKind == UNIT_DISPLAY)
        found->setText(tr("Display Handset Found."));
    else if (state.unitKind == UNIT_REMOTE)
        found->setText(tr("Remote Handset Found."));
    found->setVisible(!found->text().isEmpty());
}

void IdentifyPage::searchFinished(IdentifyOutcome outcome)
{
    poll();
    timer.stop();
    const QString port = tr("Comm %1").arg(state.portIndex + 1);
    switch (outcome) {
    case IdentifyOutcome::Identified: {
        // A unit newer than the set is not upgraded; the finish page says so.
        if (state.mode == MODE_UPDATE_ONLY && state.unitVersion > state.controlVersion)
            state.mode = MODE_NEWER_UNIT;
        const QString serial = QString::fromStdString(state.serialNumber());
        status->setText(tr("%1 %2, serial number %3, firmware %4 (at %5 baud on %6). Click Next to continue.")
                            .arg(kindName(state.unitKind))
                            .arg(state.model.load())
                            .arg(serial.isEmpty() ? tr("none") : serial)
                            .arg(state.unitVersion.load(), 0, 'f', 3)
                            .arg(state.baudRate.load())
                            .arg(port));
        identified = true;
        Q_EMIT completeChanged();
        break;
    }
    case IdentifyOutcome::NoUnit:
        if (const int error = search.portError(); error != 0)
            detail->setText(QString::fromStdString(portOpenProblem(port.toStdString(), error)));
        else
            detail->setText(tr("No unit answered on %1 at 38400 or 57600 baud. Check the cable, and that the unit "
                               "is in software update mode (the previous page says how).")
                                .arg(QString::fromStdString(describePort(port.toStdString()))));
        break;
    case IdentifyOutcome::NoControlFile:
        detail->setText(tr("The firmware set's control file \"control.upd\" cannot be read."));
        break;
    case IdentifyOutcome::UnknownKind:
    case IdentifyOutcome::NoVersion:
    case IdentifyOutcome::Stopped:
        break;
    }
}

QString IdentifyPage::statusLine() const
{
    return status->text();
}

QString IdentifyPage::foundLine() const
{
    return found->text();
}

QString IdentifyPage::detailLine() const
{
    return detail->text();
}
