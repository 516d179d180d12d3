// The wizard against the virtual unit in process: an upgrade from page 1 to
// the completion dialog and on to the wizard for the other unit, one that
// fails half-way, and a unit newer than the set refused before Finish;
// screenshots of every page, the progress window mid-upgrade and after the
// failure, the refusal, and each dialog.
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "app/gui/AboutDialog.h"
#include "app/gui/BusyAnimation.h"
#include "app/gui/FinishPage.h"
#include "app/gui/IdentifyPage.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/PortPage.h"
#include "app/gui/ProgressPanel.h"
#include "app/gui/ProgressWindow.h"
#include "app/gui/Resources.h"
#include "app/gui/SearchWindow.h"
#include "app/gui/TextDialogs.h"
#include "app/gui/UpgradeWizard.h"
#include "app/gui/tests/GuiTestKit.h"
#include "app/gui/tests/UnitOnLine.h"
#include "comlink/ForwardingPort.h"
#include "testkit/Files.h"
#include "transfer/TransferStatus.h"

namespace {

// Holds the worker once, in the middle of a transfer, until released: the
// unit waits with it (it runs only when the host idles), so the progress
// window can be looked at mid-upgrade.
class Gate {
public:
    explicit Gate(const UpgradeState& state) : state(state) {}

    void pass()
    {
        std::unique_lock<std::mutex> hold(lock);
        if (used || state.listReady == 0 || state.overallPercent == 0)
            return;
        const std::shared_ptr<TransferStatus> t = state.transferStatus();
        if (!t || t->bytesDone < 16384)
            return;
        used = true;
        held = true;
        changed.wait(hold, [&] { return released; });
        held = false;
    }
    void release()
    {
        std::lock_guard<std::mutex> hold(lock);
        released = true;
        changed.notify_all();
    }
    bool holding() const
    {
        std::lock_guard<std::mutex> hold(lock);
        return held;
    }

private:
    const UpgradeState& state;
    mutable std::mutex lock;
    std::condition_variable changed;
    bool used = false, held = false, released = false;
};

class GatedPort : public ForwardingPort {
public:
    GatedPort(std::unique_ptr<CommPort> port, Gate& gate) : port(std::move(port)), gate(gate) {}
    int idle() override
    {
        gate.pass();
        return ForwardingPort::idle();
    }
    int idleFor(int maxWaitMs) override
    {
        gate.pass();
        return ForwardingPort::idleFor(maxWaitMs);
    }

protected:
    CommPort* inner() override { return port.get(); }

private:
    std::unique_ptr<CommPort> port;
    Gate& gate;
};

std::vector<std::uint8_t> flashAt(const UnitState& unit, std::uint32_t address, std::uint32_t length)
{
    std::vector<std::uint8_t> bytes;
    unit.flash.read(address, length, bytes);
    return bytes;
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void upgradesTheVirtualUnitFromPage1ToCompletion();
    void aFailureMarksItsStepShowsTheCauseAndFreesExit();
    void unitNewerThanTheSetIsRefusedOnPage5();
    void dialogScreenshots();
};

void EndToEndTest::upgradesTheVirtualUnitFromPage1ToCompletion()
{
    UnitOnLine unit(UnitIdentity{});  // a Display Handset 7355 at 1.221
    EngineRig& bench = unit.bench;
    UpgradeState state;
    Gate gate(state);
    ScriptedRunner runner;
    GuiEnvironment env = unit.guiEnv(runner);
    env.openPort = [open = env.openPort, &gate](int index, int rx, int tx) {
        return std::make_unique<GatedPort>(open(index, rx, tx), gate);
    };
    ProgressWindow dlg(state, env);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.start();
    UpgradeWizard& sheet = dlg.wizard();

    const char* pageKeys[] = {"This wizard will take you through", "Comm 3", "Display Handset:",
                              "serial number A01234567, firmware 1.221", "The Version you will be upgrading to:"};
    for (int page = 0; page < 5; ++page) {
        QTRY_COMPARE(sheet.currentId(), page);
        if (page == 1)
            sheet.portPage().portList()->setCurrentRow(2);  // any index reaches the virtual unit
        if (page == 3)
            QTRY_COMPARE_WITH_TIMEOUT(sheet.identifyPage().foundLine(), QStringLiteral("Display Handset Found."), 20000);
        const int button = page == 4 ? QWizard::FinishButton : QWizard::NextButton;
        QVERIFY(QTest::qWaitFor([&] { return sheet.button(QWizard::WizardButton(button))->isEnabled(); }, 20000));
        saveScreenshot(sheet, QStringLiteral("page%1").arg(page + 1), QString::fromLatin1(pageKeys[page]));
        if (page == 4)
            QCOMPARE(sheet.finishPage().unitVersionText(), QStringLiteral("1.221"));
        QVERIFY(clickWhenEnabled(sheet, button));
    }
    QCOMPARE(state.mode.load(), int(MODE_REINSTALL));
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.panel().warningShown());
    // The upgrade bar as the technician sees it, every 20 ms.
    std::vector<int> seen;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&] { seen.push_back(dlg.panel().upgradeProgress()); });
    sampler.start(20);

    QTRY_VERIFY_WITH_TIMEOUT(gate.holding(), 60000);
    QTRY_VERIFY(dlg.panel().byteCount().toInt() >= 16384);
    QCOMPARE(dlg.panel().status(), QStringLiteral("Updating 7355 Display Handset.."));
    QVERIFY(dlg.panel().light(0) == res::Icon::GreenLight);
    // Past the calibration carry-over, the bar shows what is done.
    QVERIFY2(dlg.panel().upgradeProgress() >= 20, qPrintable(QString::number(dlg.panel().upgradeProgress())));
    saveScreenshot(dlg, QStringLiteral("progress"), QStringLiteral("Updating 7355 Display Handset.."));
    gate.release();

    // The completion asks about the other unit; its restart button opens
    // the wizard again with the port chosen before.
    bool finishedShown = false;
    runner.answers.push_back([&](QDialog& d) {
        finishedShown = QTest::qWaitFor([&] { return dlg.panel().status() == QLatin1String("Upgrade is Finished!"); });
        saveScreenshot(d, QStringLiteral("upgrade-completed"), QStringLiteral("Upgrade other Handset"));
        return int(QDialog::Rejected);
    });
    QTRY_COMPARE_WITH_TIMEOUT(runner.shown.size(), size_t(1), 120000);
    QCOMPARE(runner.shown[0].title, QStringLiteral("Upgrade Completed"));
    QVERIFY2(runner.shown[0].text.startsWith("Your Display Handset is finished.\nIt has been Upgraded from Version "
                                             "1.221 to Version 1.312\n\nWould you like to upgrade your Remote Handset?"),
             qPrintable(runner.shown[0].text));
    QVERIFY(finishedShown);
    sampler.stop();
    QVERIFY(!dlg.panel().warningShown());
    // The bar never went back and ended full.
    QVERIFY(!seen.empty());
    for (std::size_t i = 1; i < seen.size(); ++i)
        QVERIFY2(seen[i] >= seen[i - 1], qPrintable(QStringLiteral("%1 after %2").arg(seen[i]).arg(seen[i - 1])));
    QCOMPARE(dlg.panel().upgradeProgress(), 100);
    QTRY_VERIFY(sheet.isVisible());
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(sheet.portPage().portList()->count(), 4);
    QCOMPARE(sheet.portPage().portList()->currentRow(), 2);
    QVERIFY(!dlg.exitButton()->isEnabled());
    sheet.button(QWizard::CancelButton)->click();
    QCOMPARE(finished.count(), 1);

    // The unit's flash holds the new firmware image (after its load header).
    const std::vector<std::uint8_t> image = testkit::readBytes(bench.set("app_7355ne_1312.bin"));
    QVERIFY(image.size() > 32);
    const std::uint32_t at = std::uint32_t(image[8]) << 24 | std::uint32_t(image[9]) << 16 |
                             std::uint32_t(image[10]) << 8 | image[11];
    QVERIFY(flashAt(bench.unit, at, std::uint32_t(image.size() - 32)) ==
            std::vector<std::uint8_t>(image.begin() + 32, image.end()));
}

void EndToEndTest::aFailureMarksItsStepShowsTheCauseAndFreesExit()
{
    // Every download from the unit breaks off: the carry-over cannot finish
    // the first step that downloads.
    UnitOnLine unit(UnitIdentity{}, [](UnitBehaviour& b) { b.cancelDownloads = 1000; });
    UpgradeState state;
    ScriptedRunner runner;
    const GuiEnvironment env = unit.guiEnv(runner);
    ProgressWindow dlg(state, env);
    dlg.start();
    QVERIFY(walkToFinishPage(dlg.wizard()));
    QVERIFY(clickWhenEnabled(dlg.wizard(), QWizard::FinishButton));
    QTRY_VERIFY_WITH_TIMEOUT(dlg.exitButton()->isEnabled(), 120000);
    QVERIFY(!dlg.upgrading());
    ProgressPanel& panel = dlg.panel();
    QCOMPARE(panel.status(), QStringLiteral("Upgrade failed"));
    QCOMPARE(panel.detail(), QString::fromStdString(state.failureText()));
    // The cause starts with the step's name, as the failed row shows it.
    const QString step = panel.detail().section(QLatin1Char(':'), 0, 0);
    // One failed light, and nothing left in progress.
    int failedRow = -1;
    for (int i = 0; i < ProgressPanel::kRows; ++i) {
        if (panel.light(i) == res::Icon::FailedLight)
            failedRow = failedRow < 0 ? i : 99;
        QVERIFY(panel.light(i) != res::Icon::YellowLight);
    }
    QVERIFY2(failedRow >= 0 && failedRow < ProgressPanel::kRows, qPrintable(QString::number(failedRow)));
    QCOMPARE(panel.stepName(failedRow), step);
    QVERIFY(!panel.warningShown());
    QTRY_COMPARE(runner.shown.size(), size_t(1));
    QCOMPARE(runner.shown[0].title, QStringLiteral("Upgrade failed"));
    QTRY_VERIFY(!dlg.dialogs().busy());
    dlg.tick();
    QVERIFY(panel.light(failedRow) == res::Icon::FailedLight);
    saveScreenshot(dlg, QStringLiteral("progress-failed"), QStringLiteral("Upgrade failed"));
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.exitButton()->click();
    QCOMPARE(finished.count(), 1);
}

void EndToEndTest::unitNewerThanTheSetIsRefusedOnPage5()
{
    UnitIdentity id;
    id.version = 1.4;  // the set brings 1.312
    UnitOnLine unit(id);
    UpgradeState state;
    ScriptedRunner runner;
    const GuiEnvironment env = unit.guiEnv(runner);
    ProgressWindow window(state, env);
    QSignalSpy finished(&window, &QDialog::finished);
    window.start();
    UpgradeWizard& sheet = window.wizard();
    QVERIFY(walkToFinishPage(sheet));
    const FinishPage& page = sheet.finishPage();
    QCOMPARE(page.unitVersionText(), QStringLiteral("1.400"));
    QCOMPARE(page.targetVersionText(), QStringLiteral("1.312"));
    QVERIFY2(page.noticeText().contains("newer than the firmware set's (1.312)"), qPrintable(page.noticeText()));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!page.option(i)->isEnabled());
    saveScreenshot(sheet, QStringLiteral("page5-refused"), QStringLiteral("newer than the firmware set's"));
    QVERIFY(clickWhenEnabled(sheet, QWizard::FinishButton));
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(runner.shown.size(), size_t(1));
    QCOMPARE(runner.shown[0].title, QStringLiteral("Version Downgrade Warning"));
    QVERIFY(!window.upgrading());
    for (const std::string& command : unit.bench.significantCommands())
        QVERIFY2(command.find("btx") == std::string::npos, command.c_str());
}

void EndToEndTest::dialogScreenshots()
{
    UpgradeDoneDialog done;
    done.setText(QStringLiteral("Your Remote Handset is finished."));
    done.show();
    saveScreenshot(done, QStringLiteral("upgrade-done"), QStringLiteral("Upgrade another Handset"));
    TechSupportDialog support;
    support.setText(res::techSupportText());
    support.show();
    saveScreenshot(support, QStringLiteral("technical-support"), QStringLiteral("Your Unit has a version prior to 1.090"));
    VersionWarningDialog warning;
    warning.show();
    saveScreenshot(warning, QStringLiteral("version-warning"), QStringLiteral("Abort and Exit"));
    AboutDialog about;
    about.show();
    saveScreenshot(about, QStringLiteral("about"), QStringLiteral("Loader Version 1.000"));
    SearchWindow search(QStringLiteral(".\\SEARCH.AVI"), QStringLiteral("Found Unit, getting ID..."), nullptr);
    search.show();
    QTRY_VERIFY(search.animation()->frame() > 3);
    saveScreenshot(search, QStringLiteral("search-animation"), QStringLiteral("Found Unit, getting ID..."));

    ScriptedRunner runner;
    const std::pair<const char*, const char*> boxes[] = {{"missing-files", "Loader is unable to locate"},
                                                         {"control-file", "Could not Open Control File!"},
                                                         {"library-error", "Pure Virtual function called"}};
    for (const auto& [name, key] : boxes)
        runner.answers.push_back([name = name, key = key](QDialog& d) {
            saveScreenshot(d, QString::fromLatin1(name), QString::fromLatin1(key));
            return int(QMessageBox::Ok);
        });
    for (QMessageBox* box : {MessageBoxes::missingFiles(nullptr), MessageBoxes::controlFile(nullptr)}) {
        const std::size_t before = runner.shown.size();
        runner.open(*box);
        QTRY_COMPARE(runner.shown.size(), before + 1);
        delete box;
    }
    showLibraryErrorBox(runner, QStringLiteral("Pure Virtual function called @TRANSFER,435\nUnable to continue execution"),
                        QStringLiteral("Library Error"));
    QCOMPARE(runner.shown.size(), size_t(3));
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
