// The wizard upgrading the virtual unit in process, from page 1 to the
// completion dialog and on to the wizard for the other unit; screenshots of
// every page, the progress window mid-upgrade and each dialog.
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "app/gui/AnimateRemove.h"
#include "app/gui/Dialogs.h"
#include "sim/rig/EngineRig.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/ProgressPanel.h"
#include "app/gui/PropertyPages.h"
#include "app/gui/PropertySheet.h"
#include "app/gui/Resources.h"
#include "app/gui/UpgradeDlg.h"
#include "app/gui/tests/GuiTestKit.h"
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
    void dialogScreenshots();
};

void EndToEndTest::upgradesTheVirtualUnitFromPage1ToCompletion()
{
    UnitIdentity id;  // a Display Handset 7355 at 1.221
    EngineRig bench(id);
    bench.behaviour.bootMs = 2000;
    std::promise<EngineEnv> envReady;
    std::promise<void> testDone;
    std::thread session([&] {
        bench.session([&](const EngineEnv& env) {
            envReady.set_value(env);
            testDone.get_future().wait();
        });
    });
    const EngineEnv line = envReady.get_future().get();

    UpgradeState state;
    Gate gate(state);
    ScriptedRunner runner;
    GuiEnvironment env;
    env.workDir = line.workDir;
    env.clock = line.clock;
    env.openDelayMs = 0;
    env.dialogs = &runner;
    env.openPort = [open = line.openPort, &gate](int index, int rx, int tx) {
        return std::make_unique<GatedPort>(open(index, rx, tx), gate);
    };
    CUpgradeDlg dlg(state, env);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.start();
    CMyPropertySheet& sheet = dlg.sheet();

    const char* pageKeys[] = {"This wizard will take you through", "Comm 3", "Display Handset:", "Display Handset Found.",
                              "Your Handset Version is:"};
    for (int page = 0; page < 5; ++page) {
        QTRY_COMPARE(sheet.currentId(), page);
        if (page == 1)
            sheet.page2().portList()->setCurrentRow(2);  // any index reaches the virtual unit
        if (page == 3)
            QTRY_COMPARE_WITH_TIMEOUT(sheet.page4().foundLine(), QStringLiteral("Display Handset Found."), 20000);
        const int button = page == 4 ? QWizard::FinishButton : QWizard::NextButton;
        QVERIFY(QTest::qWaitFor([&] { return sheet.button(QWizard::WizardButton(button))->isEnabled(); }, 20000));
        saveScreenshot(sheet, QStringLiteral("page%1").arg(page + 1), QString::fromLatin1(pageKeys[page]));
        if (page == 4)
            QCOMPARE(sheet.page5().unitVersionText(), QStringLiteral("1.221"));
        QVERIFY(clickWhenEnabled(sheet, button));
    }
    QCOMPARE(state.mode.load(), int(MODE_REINSTALL));
    QVERIFY(dlg.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(gate.holding(), 60000);
    QTRY_VERIFY(dlg.panel().byteCount().toInt() >= 16384);
    QCOMPARE(dlg.panel().status(), QStringLiteral("Updating 7355 Display Handset.."));
    QVERIFY(dlg.panel().light(0) == res::Icon::GreenLight);
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
    QTRY_VERIFY(sheet.isVisible());
    QVERIFY(clickWhenEnabled(sheet, QWizard::NextButton));
    QCOMPARE(sheet.page2().portList()->count(), 4);
    QCOMPARE(sheet.page2().portList()->currentRow(), 2);
    QVERIFY(!dlg.exitButton()->isEnabled());
    sheet.button(QWizard::CancelButton)->click();
    QCOMPARE(finished.count(), 1);

    testDone.set_value();
    session.join();
    // The unit's flash holds the new firmware image (after its load header).
    const std::vector<std::uint8_t> image = testkit::readBytes(bench.set("app_7355ne_1312.bin"));
    QVERIFY(image.size() > 32);
    const std::uint32_t at = std::uint32_t(image[8]) << 24 | std::uint32_t(image[9]) << 16 |
                             std::uint32_t(image[10]) << 8 | image[11];
    QVERIFY(flashAt(bench.unit, at, std::uint32_t(image.size() - 32)) ==
            std::vector<std::uint8_t>(image.begin() + 32, image.end()));
}

void EndToEndTest::dialogScreenshots()
{
    CUpgradeDoneDlg done;
    done.setText(QStringLiteral("Your Remote Handset is finished."));
    done.show();
    saveScreenshot(done, QStringLiteral("upgrade-done"), QStringLiteral("Upgrade another Handset"));
    CTechSupportDlg support;
    support.setText(res::techSupportText());
    support.show();
    saveScreenshot(support, QStringLiteral("technical-support"), QStringLiteral("Your Unit has a version prior to 1.090"));
    CVersionWarningDlg warning;
    warning.show();
    saveScreenshot(warning, QStringLiteral("version-warning"), QStringLiteral("Abort and Exit"));
    CAboutDlg about;
    about.show();
    saveScreenshot(about, QStringLiteral("about"), QStringLiteral("Loader Version 1.000"));
    CAnimateRemove search(QStringLiteral(".\\SEARCH.AVI"), QStringLiteral("Found Unit, getting ID..."), nullptr);
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
    showMissingFilesBox(runner, nullptr);
    showControlFileBox(runner, nullptr);
    showLibraryErrorBox(runner, QStringLiteral("Pure Virtual function called @TRANSFER,435\nUnable to continue execution"),
                        QStringLiteral("Library Error"));
    QCOMPARE(runner.shown.size(), size_t(3));
}

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
