// The progress window driven by a scripted UpgradeState: rows, lights,
// counters, bars and status line; the error box per raised flag, one at a
// time; the completion dialogs in turn; the library error box from a
// worker while the GUI thread waits for it.
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/gui/LibraryErrorBox.h"
#include "app/gui/ProgressPanel.h"
#include "app/gui/UpgradeWizard.h"
#include "app/gui/WorkerNotifier.h"
#include "app/gui/tests/WizardRig.h"
#include "transfer/TransferStatus.h"

using res::Icon;

class ProgressTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsAndLightsFollowTheStepList();
    void countersBarsAndStatusLine();
    void oneErrorBoxPerRaisedFlagBetweenTicks();
    void completionDialogsAlternate();
    void libraryErrorBoxReachesAGuiThreadWaitingForTheWorker();
};

void ProgressTest::rowsAndLightsFollowTheStepList()
{
    WizardRig rig;
    ProgressPanel& panel = rig.window->panel();
    QCOMPARE(panel.stepName(0), QStringLiteral("Loading File List..."));
    QCOMPARE(panel.light(0), Icon::Empty);

    // A list whose first slot is empty still lights row 1 yellow.
    rig.state.replaceSteps();
    rig.state.listReady = 1;
    rig.state.listShown = 0;
    rig.window->tick();
    QCOMPARE(rig.state.listShown.load(), 1);
    QCOMPARE(panel.light(0), Icon::YellowLight);
    QCOMPARE(panel.stepName(0), QString());

    std::shared_ptr<StepList> steps = rig.state.replaceSteps();
    steps->setEntry(0, "control\\main.bin");
    steps->setEntry(1, ".\\kernel.bin");
    steps->setEntry(2, "REBOOT");
    rig.state.listShown = 0;
    rig.window->tick();
    QCOMPARE(panel.stepName(0), QStringLiteral("main.bin"));
    QCOMPARE(panel.stepName(1), QStringLiteral("kernel.bin"));
    QCOMPARE(panel.stepName(2), QStringLiteral("REBOOT"));
    QCOMPARE(panel.light(0), Icon::YellowLight);
    QCOMPARE(panel.light(1), Icon::RedLight);
    QCOMPARE(panel.light(2), Icon::RedLight);
    for (int i = 3; i < ProgressPanel::kRows; ++i)
        QCOMPARE(panel.light(i), Icon::Empty);

    steps->setDone(0, 1);
    rig.window->tick();
    QCOMPARE(panel.light(0), Icon::GreenLight);
    QCOMPARE(panel.light(1), Icon::YellowLight);
    QCOMPARE(panel.light(2), Icon::RedLight);
    steps->setDone(1, 1);
    steps->setDone(2, 1);
    rig.window->tick();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(panel.light(i), Icon::GreenLight);
    QCOMPARE(panel.light(3), Icon::Empty);
}

void ProgressTest::countersBarsAndStatusLine()
{
    WizardRig rig;
    ProgressPanel& panel = rig.window->panel();
    auto transfer = std::make_shared<TransferStatus>();
    transfer->setFileName(".\\app.bin");
    transfer->bytesDone = 512;
    transfer->blockNumber = 5;
    rig.state.setTransferStatus(transfer);
    rig.state.currentFileSize = 1024;
    rig.state.listReady = 1;
    rig.state.listShown = 1;
    rig.state.model = 7410;
    rig.state.unitKind = UNIT_DISPLAY;
    rig.state.overallPercent = 99;
    rig.window->tick();
    QCOMPARE(panel.currentFile(), QStringLiteral("app.bin"));
    QCOMPARE(panel.byteCount(), QStringLiteral("512"));
    QCOMPARE(panel.totalBytes(), QStringLiteral("1024"));
    QCOMPARE(panel.blockCount(), QStringLiteral("5"));
    QCOMPARE(panel.fileProgress(), 50);
    QCOMPARE(panel.upgradeProgress(), 99);
    QCOMPARE(panel.status(), QStringLiteral("Updating 7410 Display Handset.."));

    transfer->bytesDone = 1023;
    rig.state.unitKind = UNIT_REMOTE;
    rig.window->tick();
    QCOMPARE(panel.fileProgress(), 99);  // truncated, not rounded
    QCOMPARE(panel.status(), QStringLiteral("Updating 7410 Remote Handset.."));

    rig.state.currentFileSize = 0;
    rig.state.overallPercent = 100;
    rig.window->tick();
    QCOMPARE(panel.fileProgress(), 0);
    QCOMPARE(panel.status(), QStringLiteral("Upgrade is Finished!"));

    // Nothing is redrawn before a list is published.
    rig.state.listReady = 0;
    rig.state.overallPercent = 50;
    rig.window->tick();
    QCOMPARE(panel.upgradeProgress(), 100);
}

void ProgressTest::oneErrorBoxPerRaisedFlagBetweenTicks()
{
    WizardRig rig;
    rig.state.raiseError();
    rig.state.raiseError();
    rig.window->tick();
    QCOMPARE(rig.state.errorFlag.load(), 0);
    QTRY_COMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("ERROR OCCURED"));
    QCOMPARE(rig.runner.shown[0].text, QStringLiteral("Loader is unable to locate one or more of the files required.\n"
                                                      "Please reinstall loader and try again."));
    rig.window->tick();
    QTest::qWait(20);
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    // Two raised between answers: the second box waits for the first.
    bool secondWaited = false;
    rig.runner.answers.push_back([&](QDialog&) {
        rig.state.raiseError();
        rig.window->tick();
        secondWaited = rig.runner.shown.size() == 2;
        return int(QMessageBox::Ok);
    });
    rig.state.raiseError();
    rig.window->tick();
    QTRY_COMPARE(rig.runner.shown.size(), size_t(3));
    QVERIFY(secondWaited);
    QTRY_VERIFY(!rig.window->dialogs().busy());
}

void ProgressTest::completionDialogsAlternate()
{
    WizardRig rig;
    QSignalSpy finished(rig.window.get(), &QDialog::finished);
    auto rejected = [](QDialog&) { return int(QDialog::Rejected); };  // the restart button or close box
    rig.runner.answers = {rejected, rejected, [](QDialog&) { return int(QDialog::Accepted); }};
    rig.state.unitVersion = 1.09;
    rig.state.finalVersion = 1.2;
    rig.state.unitKind = UNIT_DISPLAY;
    rig.state.model = 7355;
    rig.state.listReady = 1;

    rig.window->upgradeDone();
    QTRY_COMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Upgrade Completed"));
    QCOMPARE(rig.runner.shown[0].text,
             QStringLiteral("Your Display Handset is finished.\nIt has been Upgraded from Version 1.090 to Version "
                            "1.200\n\nWould you like to upgrade your Remote Handset?\n\nPlease run a Field "
                            "Calibration to make unit accurate with new firmware."));
    QTRY_VERIFY(rig.window->restartPending());

    // The next tick asks for the restart: the unit fields are cleared and
    // the wizard opens again; the Exit button stays greyed.
    rig.window->tick();
    QVERIFY(!rig.window->restartPending());
    QCOMPARE(rig.state.unitKind.load(), 0);
    QCOMPARE(rig.state.listReady.load(), 0);
    QVERIFY(rig.window->wizard().isVisible());
    QVERIFY(!rig.window->exitButton()->isEnabled());
    QCOMPARE(rig.window->panel().stepName(0), QStringLiteral("Loading File List..."));

    rig.state.unitKind = UNIT_REMOTE;
    rig.window->upgradeDone();
    QTRY_COMPARE(rig.runner.shown.size(), size_t(2));
    QCOMPARE(rig.runner.shown[1].title, QStringLiteral("Upgrade is Complete"));
    QCOMPARE(rig.runner.shown[1].text,
             QStringLiteral("Your Remote Handset is finished.\nIt has been Upgraded from Version 1.090 to Version "
                            "1.200\n\nPlease run a Field Calibration to make unit accurate with new firmware."));
    QCOMPARE(finished.count(), 0);

    rig.window->upgradeDone();
    QTRY_COMPARE(finished.count(), 1);  // "Exit"
    QCOMPARE(rig.runner.shown[2].title, QStringLiteral("Upgrade Completed"));
}

void ProgressTest::libraryErrorBoxReachesAGuiThreadWaitingForTheWorker()
{
    WizardRig rig;
    const LibraryErrorHandler handler = makeLibraryErrorHandler(rig.window.get(), rig.runner);
    std::atomic<bool> returned{false};
    bool workerWaited = false;
    rig.runner.answers.push_back([&](QDialog&) {
        workerWaited = !returned;
        return int(QDialog::Accepted);
    });
    // The GUI thread waits for the worker while the worker waits for its
    // box: the wait itself shows the box.
    WorkerThread worker;
    worker.start([&] {
        handler("Pure Virtual function called @COMLINK,241\nUnable to continue execution", "Library Error");
        returned = true;
    });
    waitForWorker(worker);
    QVERIFY(returned);
    QVERIFY(workerWaited);
    QCOMPARE(rig.runner.shown.size(), size_t(1));
    QCOMPARE(rig.runner.shown[0].title, QStringLiteral("Library Error"));
    QCOMPARE(rig.runner.shown[0].text, QStringLiteral("Pure Virtual function called @COMLINK,241\nUnable to continue execution"));
}

QTEST_MAIN(ProgressTest)
#include "ProgressTest.moc"
