// The wizard test rig.
#include "app/gui/tests/WizardRig.h"

#include <QFile>
#include <QTest>

#include "app/gui/EngineEvent.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"

WizardRig::WizardRig()
{
    qputenv("UNITFLASH_PORTS", kMissingPort);
    env.workDir = dir.path().toStdString();
    env.openDelayMs = 0;
    env.pauseScale = 0.05;
    env.dialogs = &runner;
    writeControlFile();
    dlg = std::make_unique<CUpgradeDlg>(state, env);
}

WizardRig::~WizardRig() = default;

void WizardRig::writeControlFile() const
{
    // A set that can upgrade the rig's unit: its list and its one file.
    QFile file(dir.filePath("control.upd"));
    if (file.open(QIODevice::WriteOnly))
        file.write("Rev1.312\r\n\r\n7355NE\r\n    {app_7355ne_1312.bin}\r\n/\r\n");
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
    CMyPropertySheet& sheet = dlg->sheet();
    for (int i = 0; i < 3; ++i)
        if (!clickWhenEnabled(sheet, QWizard::NextButton))
            return false;
    const auto failed = [&] {
        return !sheet.identifying() && sheet.page4().statusLine().startsWith(QLatin1String("Error opening COM"));
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
    // Stands in for the report of a successful identification.
    postEngineEvent(&sheet, WM_WIZARD_BUTTONS, 2);
    return clickWhenEnabled(sheet, QWizard::NextButton) && sheet.currentId() == 4;
}
