// Page 4, "ID the unit": starts the identification and shows its status.
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/gui/EngineEvent.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"

namespace {

constexpr int kPollMs = 50;

}  // namespace

CMyPropertyPage4::CMyPropertyPage4() : CSheetPage(tr("ID the unit"))
{
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("Wait while we find out what Unit you have plugged into the serial cable."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* group = new QGroupBox(tr("Status"));
    auto* inside = new QVBoxLayout(group);
    status = new QLabel(tr("Status..."));
    status->setWordWrap(true);
    found = new QLabel;
    inside->addWidget(status);
    inside->addWidget(found);
    layout->addWidget(group);
    layout->addStretch();
    timer.setInterval(kPollMs);
    connect(&timer, &QTimer::timeout, this, &CMyPropertyPage4::poll);
}

void CMyPropertyPage4::setActive()
{
    postToSheet(WM_WIZARD_BUTTONS, 4);
    postToSheet(WM_START_IDENTIFY, 0);
    timer.start();
    status->clear();
    found->clear();
}

void CMyPropertyPage4::poll()
{
    const CMyPropertySheet* s = sheet();
    if (s == nullptr)
        return;
    const UpgradeState& state = s->upgradeState();
    status->setText(QString::fromStdString(state.statusText()));
    if (state.unitKind == UNIT_DISPLAY)
        found->setText(tr("Display Handset Found."));
    else if (state.unitKind == UNIT_REMOTE)
        found->setText(tr("Remote Handset Found."));
}

QString CMyPropertyPage4::statusLine() const
{
    return status->text();
}

QString CMyPropertyPage4::foundLine() const
{
    return found->text();
}
