// The wizard on its own: page flow and button states, the port list, a
// failed identification, page 5's versions and modes, the version gate and
// closing while an upgrade runs.
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/gui/Dialogs.h"
#include "app/gui/EngineEvent.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"
#include "app/gui/tests/WizardRig.h"

class WizardTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flowButtonsPortListAndFailedIdentification();
    void page5VersionsModesAndControlFile();
    void versionGate_data();
    void versionGate();
    void closingWhileUpgradingAsksAndStopsTheWorker();
    void anotherUnitsPendingCarryOverIsKeptUnlessSetAside();
};

void WizardTest::flowButtonsPortListAndFailedIdentification()
{
    WizardRig rig;
    QSignalSpy finished(rig.dlg.get(), &QDialog::finished);
    rig.dlg->start();
    CMyPropertySheet& sheet = rig.dlg->sheet();
    QCOMPARE(sheet.windowTitle(), QStringLiteral("KvUnitflash"));
    QVERIFY(sheet.isVisible());
    QVERIFY(!rig.dlg->isVisible());
    QCOMPARE(sheet.currentId(), 0);
    QTRY_COMPARE(sheet.buttonFlags(), int(PSWIZB_NEXT));
    QVERIFY(sheet.button(QWizard::NextButton)->isEnabled());
    QVERIFY(!sheet.button(QWizard::BackButton)->isEnabled());
    QCOMPARE(sheet.page1().versionLine(), QStringLiteral("Loader Version 1.000"));

    // Page 2: exactly the four names, the device behind each, Comm 1 first.
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QListWidget* list = sheet.page2().portList();
    QCOMPARE(list->count(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(list->item(i)->text(), QStringLiteral("Comm %1").arg(i + 1));
    QCOMPARE(list->currentRow(), 0);
    const QString devices = sheet.page2().deviceLabel()->text();
    QVERIFY2(devices.contains(QStringLiteral("Comm 1 \u2192 ") + kMissingPort), qPrintable(devices));
    QVERIFY2(devices.contains(QStringLiteral("Comm 2 \u2192 not present")), qPrintable(devices));
    QTRY_COMPARE(sheet.buttonFlags(), int(PSWIZB_BACK | PSWIZB_NEXT));
    list->setCurrentRow(2);
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(rig.state.portIndex.load(), 2);
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));

    // Page 4: Back only while searching and after a failed search; the
    // animation window comes and goes.
    QCOMPARE(sheet.currentId(), 3);
    QTRY_VERIFY(sheet.animation().window() != nullptr || !sheet.identifying());
    QTRY_COMPARE(sheet.page4().statusLine(), QStringLiteral("Error opening COM 3, GO BACK and change settings."));
    QTRY_VERIFY(!sheet.identifying());
    QTRY_VERIFY(sheet.animation().window() == nullptr);
    QCOMPARE(sheet.buttonFlags(), int(PSWIZB_BACK));
    QVERIFY(!sheet.button(QWizard::NextButton)->isEnabled());
    QVERIFY(sheet.button(QWizard::BackButton)->isEnabled());
    QCOMPARE(sheet.page4().foundLine(), QString());

    // Codes outside 1..6 change nothing; code 5 keeps Next and Finish greyed.
    for (int code : {0, 7, 12}) {
        postEngineEvent(&sheet, WM_WIZARD_BUTTONS, code);
        QCoreApplication::processEvents();
        QCOMPARE(sheet.buttonFlags(), int(PSWIZB_BACK));
    }
    postEngineEvent(&sheet, WM_WIZARD_BUTTONS, 5);
    QTRY_COMPARE(sheet.buttonFlags(), int(PSWIZB_BACK | PSWIZB_DISABLEDFINISH));
    QVERIFY(!sheet.button(QWizard::NextButton)->isEnabled());

    // Back and again forward: a fresh run with both lines cleared; Cancel
    // while it searches ends the program and stops the worker.
    QVERIFY(clickWhenEnabled(sheet, QWizard::BackButton));
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(sheet.page4().statusLine(), QString());
    QTRY_VERIFY(sheet.identifying());
    sheet.button(QWizard::CancelButton)->click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!sheet.identifying());
    QVERIFY(!rig.dlg->isVisible());
    QVERIFY(!rig.dlg->upgrading());
    QVERIFY(rig.runner.shown.empty());
}

void WizardTest::page5VersionsModesAndControlFile()
{
    WizardRig rig;
    rig.dlg->start();
    QVERIFY(rig.reachPage5(1.2));
    CMyPropertyPage5& page = rig.dlg->sheet().page5();
    rig.state.controlVersion = 1.25;
    page.setActive();
    QCOMPARE(page.unitVersionText(), QStringLiteral("1.200"));
    QCOMPARE(page.targetVersionText(), QStringLiteral("1.250"));
    QCOMPARE(page.choice(), 1);
    QVERIFY(!page.option(0)->isEnabled());  // update only would leave the tables in their old layout
    QVERIFY(!page.option(2)->isEnabled());  // no backup image of this unit
    rig.state.unitVersion = 1.23;
    page.setActive();
    QVERIFY(page.option(0)->isEnabled());
    QFile backup(rig.dir.filePath("B12345678.bin"));
    QVERIFY(backup.open(QIODevice::WriteOnly));
    backup.close();
    page.setActive();
    QVERIFY(page.option(2)->isEnabled());
    rig.state.unitVersion = 1.2;

    struct Row { int before, choice, after; };
    for (const Row& r : {Row{1, 0, 1}, Row{1, 1, 3}, Row{1, 2, 4}, Row{0, 1, 0}, Row{2, 1, 2}, Row{2, 2, 4}}) {
        rig.state.mode = r.before;
        page.option(r.choice)->setChecked(true);
        QVERIFY(page.validatePage());
        QCOMPARE(rig.state.mode.load(), r.after);
    }
    QCOMPARE(rig.state.controlFileName(), std::string("control.upd"));

    // A control file gone before Finish keeps the wizard on page 5.
    rig.removeControlFile();
    rig.state.mode = MODE_UPDATE_ONLY;
    rig.dlg->sheet().button(QWizard::FinishButton)->click();
    QCOMPARE(rig.dlg->sheet().currentId(), 4);
    QVERIFY(rig.dlg->sheet().isVisible());
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Error"));
    QCOMPARE(rig.runner.shown[0].text, QStringLiteral("Could not Open Control File!"));
    QCOMPARE(rig.state.mode.load(), int(MODE_UPDATE_ONLY));
}

void WizardTest::versionGate_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("1.089") << 1.089 << int(MODE_UPDATE_ONLY) << "CTechSupportDlg";
    QTest::newRow("unreadable") << 0.0 << int(MODE_UPDATE_ONLY) << "CTechSupportDlg";
    QTest::newRow("newer unit") << 1.4 << int(MODE_NEWER_UNIT) << "CVersionWarningDlg";
}

void WizardTest::versionGate()
{
    QFETCH(double, version);
    QFETCH(int, mode);
    QFETCH(QString, dialog);
    WizardRig rig;
    QSignalSpy finished(rig.dlg.get(), &QDialog::finished);
    rig.dlg->start();
    QVERIFY(rig.reachPage5(version, mode));
    QVERIFY(clickWhenEnabled(rig.dlg->sheet(), QWizard::FinishButton));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!rig.dlg->upgrading());
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].className, dialog);
    if (dialog == "CTechSupportDlg") {
        QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Technical Support"));
        QVERIFY(rig.runner.shown[0].text.startsWith(
            "Your Unit has a version prior to 1.090\nPlease send it to customer service to be upgraded.\n"));
    } else {
        QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Version Downgrade Warning"));
        QVERIFY(rig.runner.shown[0].text.startsWith("Your unit has a Version newer than that of the loader files. \n"));
    }
}

void WizardTest::closingWhileUpgradingAsksAndStopsTheWorker()
{
    WizardRig rig;
    QSignalSpy finished(rig.dlg.get(), &QDialog::finished);
    rig.dlg->start();
    QVERIFY(rig.reachPage5(1.090));  // exactly the lowest version let through
    QVERIFY(clickWhenEnabled(rig.dlg->sheet(), QWizard::FinishButton));
    QVERIFY(rig.runner.shown.empty());
    QVERIFY(rig.dlg->isVisible());
    QVERIFY(rig.dlg->upgrading());  // waiting for a unit that never answers
    QVERIFY(!rig.dlg->exitButton()->isEnabled());
    QCOMPARE(rig.dlg->windowTitle(), QStringLiteral("Upgrade Utility "));

    rig.runner.answers.push_back([](QDialog&) { return int(QMessageBox::No); });
    rig.dlg->close();
    QVERIFY(rig.dlg->isVisible());
    QVERIFY(rig.dlg->upgrading());
    rig.dlg->close();  // answered Yes
    QCOMPARE(rig.runner.shown.size(), size_t(2));
    QVERIFY(rig.runner.shown[1].text.contains("The upgrade is still running."));
    QVERIFY(!rig.dlg->upgrading());
    QCOMPARE(finished.count(), 1);
}

void WizardTest::anotherUnitsPendingCarryOverIsKeptUnlessSetAside()
{
    WizardRig rig;
    QFile log(rig.dir.filePath("logfile.LOG"));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("C99999999\r\n1.221\r\nKERNEL\r\n");
    log.close();
    QSignalSpy finished(rig.dlg.get(), &QDialog::finished);
    rig.dlg->start();
    QVERIFY(rig.reachPage5(1.221));
    rig.runner.answers.push_back([](QDialog&) { return int(QMessageBox::No); });
    QVERIFY(clickWhenEnabled(rig.dlg->sheet(), QWizard::FinishButton));
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QVERIFY(rig.runner.shown[0].text.contains("C99999999"));
    QVERIFY(!rig.dlg->upgrading());
    QCOMPARE(finished.count(), 1);
    QVERIFY(QFile::exists(rig.dir.filePath("logfile.LOG")));
}

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
