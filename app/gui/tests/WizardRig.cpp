// The wizard test rig.
#include "app/gui/tests/WizardRig.h"

#include <QFile>
#include <QTest>

#include "app/gui/IdentifyPage.h"
#include "app/gui/UpgradeWizard.h"

WizardRig::WizardRig()
{
    qputenv("UNITFLASH_PORTS", kMissingPort);
    env.workDir = dir.path().toStdString();
    env.openDelayMs = 0;
    env.pauseScale = 0.05;
    env.dialogs = &runner;
    writeControlFile();
    window = std::make_unique<ProgressWindow>(state, env);
}

WizardRig::~WizardRig() = default;

void WizardRig::writeControlFile() const
{
    // A set that can upgrade the rig's unit: its lists (reinstall, update
    // only, downgrade) and its one file.
    QFile file(dir.filePath("control.upd"));
    if (file.open(QIODevice::WriteOnly))
        file.write("Rev1.312\r\n\r\n7355NE\r\n    {app_7355ne_1312.bin}\r\n/\r\n"
                   "REL7355NE\r\n    {app_7355ne_1312.bin}\r\n/\r\n"
                   "DWN7355NE\r\n    {app_7355ne_1312.bin}\r\n/\r\n");
    QFile image(dir.filePath("app_7355ne_1312.bin"));
    if (image.open(QIODevice::WriteOnly))
        image.write("app");
}

void WizardRig::removeControlFile() const
{
    QFile::remove(dir.filePath("control.upd"));
}

bool WizardRig::reachPage5(double version, int mode)
{
    UpgradeWizard& sheet = window->wizard();
    for (int i = 0; i < 3; ++i)
        if (!clickWhenEnabled(sheet, QWizard::NextButton))
            return false;
    const auto failed = [&] {
        return !sheet.search().active()
               && sheet.identifyPage().statusLine().startsWith(QLatin1String("Error opening COM"));
    };
    if (!QTest::qWaitFor(failed, 10000))
        return false;
    QCoreApplication::processEvents();
    state.unitVersion = version;
    state.controlVersion = 1.312;
    state.mode = mode;
    state.unitKind = UNIT_DISPLAY;
    state.model = 7355;
    state.setSerialNumber("B12345678");
    // Stands in for the report of a successful search.
    Q_EMIT sheet.search().finished(IdentifyOutcome::Identified);
    return clickWhenEnabled(sheet, QWizard::NextButton) && sheet.currentId() == 4;
}
