// The wizard on its own: page flow and buttons, the port list, a failed
// search and its cause, a new search clearing the page, page 5's versions,
// options, refusals and modes, the version gate and closing while an
// upgrade runs.
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "app/gui/FinishPage.h"
#include "app/gui/IdentifyPage.h"
#include "app/gui/IntroPage.h"
#include "app/gui/PortPage.h"
#include "app/gui/SearchWindow.h"
#include "app/gui/UpgradeWizard.h"
#include "app/gui/tests/WizardRig.h"

class WizardTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flowPortListFailedSearchAndItsCause();
    void aSearchReplacedByAnotherReportsOnce();
    void page5VersionsOptionsAndModes();
    void versionGate_data();
    void versionGate();
    void closingWhileUpgradingAsksAndStopsTheWorker();
    void anUnnamedUnitIsAskedAboutAnUnnamedCarryOver();
};

void WizardTest::flowPortListFailedSearchAndItsCause()
{
    WizardRig rig;
    QSignalSpy finished(rig.window.get(), &QDialog::finished);
    rig.window->start();
    UpgradeWizard& sheet = rig.window->wizard();
    QCOMPARE(sheet.windowTitle(), QStringLiteral("KvUnitflash"));
    QVERIFY(sheet.isVisible());
    QVERIFY(!rig.window->isVisible());
    QCOMPARE(sheet.currentId(), 0);
    QVERIFY(sheet.button(QWizard::NextButton)->isEnabled());
    QVERIFY(!sheet.button(QWizard::BackButton)->isEnabled());
    QCOMPARE(sheet.introPage().versionLine(), QStringLiteral("Loader Version 1.000"));

    // Page 2: exactly the four names, the device behind each, Comm 1 first.
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QListWidget* list = sheet.portPage().portList();
    QCOMPARE(list->count(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(list->item(i)->text(), QStringLiteral("Comm %1").arg(i + 1));
    QCOMPARE(list->currentRow(), 0);
    const QString devices = sheet.portPage().deviceLabel()->text();
    QVERIFY2(devices.contains(QStringLiteral("Comm 1 \u2192 ") + kMissingPort), qPrintable(devices));
    QVERIFY2(devices.contains(QStringLiteral("Comm 2 \u2192 not present")), qPrintable(devices));
    QVERIFY(sheet.button(QWizard::BackButton)->isEnabled());
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(rig.state.portIndex.load(), 0);
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));

    // Page 4: Back only while searching and after a failed search; the
    // search window is the wizard's; the cause names the port as page 2 does.
    IdentifyPage& page = sheet.identifyPage();
    QCOMPARE(sheet.currentId(), 3);
    QTRY_VERIFY(sheet.search().window() != nullptr || !sheet.search().active());
    if (SearchWindow* window = sheet.search().window())
        QCOMPARE(window->parentWidget(), &sheet);
    QTRY_COMPARE(page.statusLine(), QStringLiteral("Error opening COM 1, GO BACK and change settings."));
    QTRY_VERIFY(!sheet.search().active());
    QTRY_VERIFY(sheet.search().window() == nullptr);
    QTRY_VERIFY2(page.detailLine().startsWith(QStringLiteral("Comm 1 (") + kMissingPort + ") does not exist"),
                 qPrintable(page.detailLine()));
    QVERIFY(!sheet.button(QWizard::NextButton)->isEnabled());
    QVERIFY(sheet.button(QWizard::BackButton)->isEnabled());
    QCOMPARE(page.foundLine(), QString());

    // Back to page 2, Comm 3, and forward: a fresh search, the page cleared
    // of the last one; Cancel while it searches ends the program.
    QVERIFY(clickWhenEnabled(sheet, QWizard::BackButton));
    QVERIFY(clickWhenEnabled(sheet, QWizard::BackButton));
    list->setCurrentRow(2);
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(rig.state.portIndex.load(), 2);
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QVERIFY(!page.statusLine().startsWith(QStringLiteral("Error opening COM 1")));
    QCOMPARE(page.detailLine(), QString());
    QTRY_COMPARE(page.statusLine(), QStringLiteral("Error opening COM 3, GO BACK and change settings."));
    QTRY_VERIFY2(page.detailLine().contains(QStringLiteral("Comm 3")), qPrintable(page.detailLine()));
    QVERIFY(clickWhenEnabled(sheet, QWizard::BackButton));
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    sheet.button(QWizard::CancelButton)->click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!sheet.search().active());
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.window->upgrading());
    QVERIFY(rig.runner.shown.empty());
}

void WizardTest::aSearchReplacedByAnotherReportsOnce()
{
    WizardRig rig;
    UnitSearch& search = rig.window->wizard().search();
    QSignalSpy reports(&search, &UnitSearch::finished);
    search.start();
    search.start();
    QTRY_VERIFY(!search.active());
    QTest::qWait(50);
    QCOMPARE(reports.count(), 1);
    search.start();
    search.stop();
    QTRY_VERIFY(!search.active());
    QTest::qWait(50);
    QCOMPARE(reports.count(), 1);
}

void WizardTest::page5VersionsOptionsAndModes()
{
    WizardRig rig;
    rig.window->start();
    QVERIFY(rig.reachPage5(1.2));
    UpgradeWizard& sheet = rig.window->wizard();
    FinishPage& page = sheet.finishPage();
    rig.state.controlVersion = 1.25;
    page.activate();
    QCOMPARE(page.unitVersionText(), QStringLiteral("1.200"));
    QCOMPARE(page.targetVersionText(), QStringLiteral("1.250"));
    QCOMPARE(page.choice(), 1);
    QVERIFY(!page.option(0)->isEnabled());  // update only would leave the tables in their old layout
    QVERIFY(!page.option(2)->isEnabled());  // no backup image of this unit
    QVERIFY(page.isComplete());
    rig.state.unitVersion = 1.23;
    page.activate();
    QVERIFY(page.option(0)->isEnabled());
    for (const char* name : {"B12345678.bin", "B12345678c.bin"}) {
        QFile backup(rig.dir.filePath(name));
        QVERIFY(backup.open(QIODevice::WriteOnly));
    }
    page.activate();
    QVERIFY(page.option(2)->isEnabled());

    // A file the chosen upgrade sends gone: said on the page, Finish greyed.
    QVERIFY(QFile::remove(rig.dir.filePath("app_7355ne_1312.bin")));
    page.activate();
    QVERIFY(!page.isComplete());
    QVERIFY2(page.noticeText().contains("app_7355ne_1312.bin"), qPrintable(page.noticeText()));
    QVERIFY(!sheet.button(QWizard::FinishButton)->isEnabled());
    rig.writeControlFile();
    page.activate();
    QVERIFY(page.isComplete());
    QCOMPARE(page.noticeText(), QString());
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
    page.option(1)->setChecked(true);
    rig.removeControlFile();
    rig.state.mode = MODE_UPDATE_ONLY;
    sheet.button(QWizard::FinishButton)->click();
    QTRY_COMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(sheet.currentId(), 4);
    QVERIFY(sheet.isVisible());
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Error"));
    QCOMPARE(rig.runner.shown[0].text, QStringLiteral("Could not Open Control File!"));
    QCOMPARE(rig.state.mode.load(), int(MODE_UPDATE_ONLY));
}

void WizardTest::versionGate_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("1.089") << 1.089 << int(MODE_UPDATE_ONLY) << "TechSupportDialog";
    QTest::newRow("unreadable") << 0.0 << int(MODE_UPDATE_ONLY) << "TechSupportDialog";
}

void WizardTest::versionGate()
{
    QFETCH(double, version);
    QFETCH(int, mode);
    QFETCH(QString, dialog);
    WizardRig rig;
    QSignalSpy finished(rig.window.get(), &QDialog::finished);
    rig.window->start();
    QVERIFY(rig.reachPage5(version, mode));
    const FinishPage& page = rig.window->wizard().finishPage();
    QVERIFY2(page.noticeText().contains("older than 1.090"), qPrintable(page.noticeText()));
    QVERIFY(!page.option(1)->isEnabled());
    QVERIFY(clickWhenEnabled(rig.window->wizard(), QWizard::FinishButton));
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(!rig.window->upgrading());
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].className, dialog);
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Technical Support"));
    QVERIFY(rig.runner.shown[0].text.startsWith(
        "Your Unit has a version prior to 1.090\nPlease send it to customer service to be upgraded.\n"));
}

void WizardTest::closingWhileUpgradingAsksAndStopsTheWorker()
{
    WizardRig rig;
    QSignalSpy finished(rig.window.get(), &QDialog::finished);
    rig.window->start();
    QVERIFY(rig.reachPage5(1.090));  // exactly the lowest version let through
    QVERIFY(clickWhenEnabled(rig.window->wizard(), QWizard::FinishButton));
    QVERIFY(rig.runner.shown.empty());
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.window->upgrading());  // waiting for a unit that never answers
    QVERIFY(!rig.window->exitButton()->isEnabled());
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("Upgrade Utility "));

    rig.runner.answers.push_back([](QDialog&) { return int(QMessageBox::No); });
    rig.window->close();
    QTRY_VERIFY(!rig.window->dialogs().busy());
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.window->upgrading());
    rig.window->close();  // answered Yes
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(rig.runner.shown.size(), size_t(2));
    QVERIFY(rig.runner.shown[1].text.contains("The upgrade is still running."));
    QVERIFY(!rig.window->upgrading());
}

void WizardTest::anUnnamedUnitIsAskedAboutAnUnnamedCarryOver()
{
    WizardRig rig;
    QFile log(rig.dir.filePath("logfile.LOG"));
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write("         \r\n1.221\r\nKERNEL\r\n");
    log.close();
    QSignalSpy finished(rig.window.get(), &QDialog::finished);
    rig.window->start();
    QVERIFY(rig.reachPage5(1.221, MODE_REINSTALL));
    rig.state.setSerialNumber("");
    // The pending question does not hide what the page must refuse anyway.
    FinishPage& page = rig.window->wizard().finishPage();
    page.activate();
    QVERIFY(!page.option(0)->isEnabled());  // update only across the layout change
    QVERIFY(!page.option(2)->isEnabled());  // no serial number, no backup of its own
    rig.runner.answers.push_back([](QDialog&) { return int(QMessageBox::Cancel); });
    QVERIFY(clickWhenEnabled(rig.window->wizard(), QWizard::FinishButton));
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QVERIFY(rig.runner.shown[0].text.contains("without a serial number"));
    QVERIFY(!rig.window->upgrading());
    QVERIFY(QFile::exists(rig.dir.filePath("logfile.LOG")));
}

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
