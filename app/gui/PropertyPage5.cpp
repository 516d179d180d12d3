// Page 5, "Finish the Upgrade": the versions, the upgrade options and the
// mode they give.
#include <QButtonGroup>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include "app/gui/EngineEvent.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"
#include "engine/ControlFile.h"
#include "engine/UpgradePlan.h"

namespace {

QString versionText(double version)
{
    return QString::asprintf("%5.3f", version);
}

}  // namespace

CMyPropertyPage5::CMyPropertyPage5() : CSheetPage(tr("Finish the Upgrade"))
{
    auto* layout = new QGridLayout(this);
    auto* intro = new QLabel(tr("Press Finish to upgrade the unit(s). The unit(s) can not be reverted back to the "
                                "previous version once upgraded. This process can take up to 10 minutes to "
                                "complete."));
    intro->setWordWrap(true);
    layout->addWidget(intro, 0, 0, 1, 2);
    layout->addWidget(new QLabel(tr("Your Handset Version is:")), 1, 0);
    unitVersion = new QLabel;
    layout->addWidget(unitVersion, 1, 1);
    // Set but not shown, as the layout of the page has it.
    auto* targetLabel = new QLabel(tr("The Version you will be upgrading to:"));
    targetVersion = new QLabel;
    targetLabel->hide();
    targetVersion->hide();
    layout->addWidget(targetLabel, 2, 0);
    layout->addWidget(targetVersion, 2, 1);
    options = new QButtonGroup(this);
    const QString texts[3] = {tr("Update only (language, cable database, etc.)"), tr("Reinstall entire version."),
                              tr("Downgrade to previous version (serialnumber.bin required).")};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(texts[i]);
        options->addButton(button, i);
        layout->addWidget(button, 3 + i, 0, 1, 2);
    }
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(6, 1);
}

void CMyPropertyPage5::setActive()
{
    postToSheet(WM_WIZARD_BUTTONS, 6);
    CMyPropertySheet* s = sheet();
    if (s == nullptr)
        return;
    const UpgradeState& state = s->upgradeState();
    // Update only leaves the calibration tables as they are, so it is closed
    // when the set crosses the tables' layout change from the version the
    // unit had before this upgrade; a downgrade needs the unit's own backup
    // image in the firmware set; a reinstall is the default every time.
    const std::string backup = s->environment().path(state.serialNumber() + ".bin");
    const double before = versionBeforeUpgrade(state, s->environment().engineEnv(nullptr, nullptr, nullptr));
    const double threshold = calibrationThreshold(state.model);
    option(0)->setEnabled(!(before < threshold && state.controlVersion >= threshold));
    option(1)->setEnabled(true);
    option(2)->setEnabled(!state.serialNumber().empty() && QFile::exists(QString::fromStdString(backup)));
    option(1)->setChecked(true);
    option(1)->setFocus();
    targetVersion->setText(versionText(state.controlVersion));
    unitVersion->setText(versionText(state.unitVersion));
}

bool CMyPropertyPage5::validatePage()
{
    CMyPropertySheet* s = sheet();
    if (s == nullptr)
        return true;
    QFile control(QString::fromStdString(s->environment().path(kControlFileName)));
    if (!control.open(QIODevice::ReadOnly)) {
        showControlFileBox(s->environment().runner(), this);
        return false;
    }
    control.close();
    UpgradeState& state = s->upgradeState();
    state.setControlFileName(kControlFileName);
    const int chosen = choice();
    if (state.mode == MODE_UPDATE_ONLY && chosen == 1)
        state.mode = MODE_REINSTALL;
    else if ((state.mode == MODE_UPDATE_ONLY || state.mode == MODE_NEWER_UNIT) && chosen == 2)
        state.mode = MODE_DOWNGRADE;  // for a newer unit, the downgrade it is warned about
    return true;
}

int CMyPropertyPage5::choice() const
{
    return options->checkedId();
}

QRadioButton* CMyPropertyPage5::option(int index) const
{
    return qobject_cast<QRadioButton*>(options->button(index));
}

QString CMyPropertyPage5::unitVersionText() const
{
    return unitVersion->text();
}

QString CMyPropertyPage5::targetVersionText() const
{
    return targetVersion->text();
}
