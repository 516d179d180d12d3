// Page 5, "Finish the Upgrade": the versions, the upgrade options, what
// would stop the chosen one, and the mode it gives.
#include "app/gui/FinishPage.h"

#include <QButtonGroup>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>

#include "app/gui/DialogRunner.h"
#include "app/gui/GuiEnvironment.h"
#include "app/gui/MessageBoxes.h"
#include "engine/ControlFile.h"
#include "engine/UpgradePlan.h"

namespace {

QString versionText(double version)
{
    return QString::number(version, 'f', 3);
}

constexpr int kModeOfOption[3] = {MODE_UPDATE_ONLY, MODE_REINSTALL, MODE_DOWNGRADE};

// A refusal that no answer of the technician's can get past.
bool stopsTheRun(Refusal refusal)
{
    return refusal != Refusal::None && refusal != Refusal::PendingOtherUnit;
}

}  // namespace

FinishPage::FinishPage(UpgradeState& state, const GuiEnvironment& env)
    : WizardPage(tr("Finish the Upgrade")), state(state), env(env)
{
    auto* layout = new QGridLayout(this);
    layout->addWidget(wrapped(tr("Press Finish to upgrade the unit(s). The unit(s) can not be reverted back to the "
                                 "previous version once upgraded. This process can take up to 10 minutes to "
                                 "complete.")),
                      0, 0, 1, 2);
    layout->addWidget(new QLabel(tr("Your Handset Version is:")), 1, 0);
    unitVersion = new QLabel;
    layout->addWidget(unitVersion, 1, 1);
    layout->addWidget(new QLabel(tr("The Version you will be upgrading to:")), 2, 0);
    targetVersion = new QLabel;
    layout->addWidget(targetVersion, 2, 1);
    options = new QButtonGroup(this);
    const QString texts[3] = {tr("Update only (language, cable database, etc.)"), tr("Reinstall entire version."),
                              tr("Downgrade to previous version (serialnumber.bin required).")};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(texts[i]);
        options->addButton(button, i);
        layout->addWidget(button, 3 + i, 0, 1, 2);
    }
    notice = wrapped(QString());
    notice->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(notice, 6, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(7, 1);
    connect(options, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            choiceChanged();
    });
}

void FinishPage::activate()
{
    unitVersion->setText(versionText(state.unitVersion));
    targetVersion->setText(versionText(state.controlVersion));
    const EngineEnv check = env.engineEnv(nullptr, nullptr, nullptr);
    // An option is offered only when the set can carry it out for this unit:
    // update only never leaves the calibration tables in their old layout,
    // a downgrade needs this unit's own backup images. Reinstall is the
    // default every time.
    const bool gated = state.unitVersion < kMinimumUnitVersion || state.mode == MODE_NEWER_UNIT;
    for (int i = 0; i < 3; ++i) {
        const PlanCheck plan = checkUpgradePlan(state, check, kModeOfOption[i]);
        const bool open = i == 1 || !stopsTheRun(plan.refusal);
        option(i)->setEnabled(!gated && open);
        // A greyed option says why when the pointer rests on it.
        option(i)->setToolTip(open ? QString() : QString::fromStdString(plan.text));
    }
    option(1)->setChecked(true);
    option(1)->setFocus();
    choiceChanged();
}

void FinishPage::choiceChanged()
{
    blocked = false;
    QString text;
    if (state.unitVersion < kMinimumUnitVersion) {
        text = tr("This unit's firmware (%1) is older than 1.090: this loader cannot upgrade it. Finish shows "
                  "whom to contact; nothing is sent to the unit.")
                   .arg(versionText(state.unitVersion));
    } else if (state.mode == MODE_NEWER_UNIT) {
        text = tr("This unit's firmware (%1) is newer than the firmware set's (%2). Finish ends the loader "
                  "without changing the unit.")
                   .arg(versionText(state.unitVersion), versionText(state.controlVersion));
    } else if (choice() >= 0) {
        const PlanCheck plan = checkUpgradePlan(state, env.engineEnv(nullptr, nullptr, nullptr),
                                                kModeOfOption[choice()]);
        blocked = stopsTheRun(plan.refusal);
        if (blocked)
            text = QString::fromStdString(plan.text);
    }
    notice->setText(text);
    notice->setVisible(!text.isEmpty());
    Q_EMIT completeChanged();
}

bool FinishPage::validatePage()
{
    QFile control(QString::fromStdString(env.path(kControlFileName)));
    if (!control.open(QIODevice::ReadOnly)) {
        QMessageBox* box = MessageBoxes::controlFile(this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        env.runner().open(*box);
        return false;
    }
    control.close();
    state.setControlFileName(kControlFileName);
    const int chosen = choice();
    if (state.mode == MODE_UPDATE_ONLY && chosen == 1)
        state.mode = MODE_REINSTALL;
    else if ((state.mode == MODE_UPDATE_ONLY || state.mode == MODE_NEWER_UNIT) && chosen == 2)
        state.mode = MODE_DOWNGRADE;  // for a newer unit, the downgrade it is warned about
    return true;
}

int FinishPage::choice() const
{
    return options->checkedId();
}

QRadioButton* FinishPage::option(int index) const
{
    return qobject_cast<QRadioButton*>(options->button(index));
}

QString FinishPage::unitVersionText() const
{
    return unitVersion->text();
}

QString FinishPage::targetVersionText() const
{
    return targetVersion->text();
}

QString FinishPage::noticeText() const
{
    return notice->text();
}
