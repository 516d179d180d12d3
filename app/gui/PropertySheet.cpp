// The wizard sheet: pages in order, button codes, and the identification
// runs it starts for page 4.
#include "app/gui/PropertySheet.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "app/gui/PropertyPages.h"
#include "app/gui/Resources.h"

namespace {

enum PageId { Page1, Page2, Page3, Page4, Page5 };

// How often a pending identification looks whether the previous run has
// ended.
constexpr int kWaitPollMs = 20;

}  // namespace

int wizardButtonFlags(int code)
{
    switch (code) {
    case 1: return PSWIZB_NEXT;
    case 2:
    case 3: return PSWIZB_BACK | PSWIZB_NEXT;
    case 4: return PSWIZB_BACK;
    case 5: return PSWIZB_BACK | PSWIZB_DISABLEDFINISH;
    case 6: return PSWIZB_BACK | PSWIZB_FINISH;
    default: return 0;
    }
}

CMyPropertySheet::CMyPropertySheet(UpgradeState& state, const GuiEnvironment& env, QWidget* animationOwner)
    : state(state), env(env), searchAnimation(animationOwner)
{
    setWindowTitle(res::sheetCaption());
    setWindowIcon(res::icon(res::Icon::Unit));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    p1 = new CMyPropertyPage1;
    p2 = new CMyPropertyPage2;
    p3 = new CMyPropertyPage3;
    p4 = new CMyPropertyPage4;
    p5 = new CMyPropertyPage5;
    setPage(Page1, p1);
    setPage(Page2, p2);
    setPage(Page3, p3);
    setPage(Page4, p4);
    setPage(Page5, p5);
    setStartId(Page1);
    setWindowModality(Qt::ApplicationModal);
    connect(this, &QWizard::currentIdChanged, this, &CMyPropertySheet::pageChanged);
}

CMyPropertySheet::~CMyPropertySheet()
{
    worker.requestStop();
    worker.join();
}

void CMyPropertySheet::runModeless()
{
    flags = 0;
    if (currentId() != -1)
        restart();
    adjustSize();
    // Centred on the screen: the main window is not shown yet at the first run.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void CMyPropertySheet::pageChanged(int id)
{
    if (auto* p = qobject_cast<CSheetPage*>(page(id)))
        p->setActive();
}

void CMyPropertySheet::setFlags(int value)
{
    flags = value;
    // Next and Finish follow the pages' isComplete(), which reads the flags.
    if (auto* p = qobject_cast<CSheetPage*>(currentPage()))
        Q_EMIT p->completeChanged();
}

void CMyPropertySheet::customEvent(QEvent* event)
{
    if (event->type() != EngineEvent::type())
        return QWizard::customEvent(event);
    const auto* e = static_cast<const EngineEvent*>(event);
    switch (e->message) {
    case WM_WIZARD_BUTTONS:
        if (const int f = wizardButtonFlags(e->wParam))
            setFlags(f);
        break;
    case WM_START_IDENTIFY:
        startIdentification();
        break;
    case WM_IDENTIFY_DONE:
        // A report of a run that a later activation replaced, or one that
        // arrives after the technician left page 4, changes nothing.
        if (e->run != run || currentId() != Page4)
            break;
        if (e->wParam != 0 && state.mode == MODE_UPDATE_ONLY && state.unitVersion > state.controlVersion)
            state.mode = MODE_NEWER_UNIT;
        setFlags(e->wParam != 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
        break;
    default:
        break;
    }
}

void CMyPropertySheet::startIdentification()
{
    ++run;
    if (worker.running()) {
        // Never two runs on one port: the previous run is told to stop and
        // this one starts once it has let go of the port.
        worker.requestStop();
        if (!pendingStart) {
            pendingStart = true;
            QTimer::singleShot(kWaitPollMs, this, &CMyPropertySheet::launchWhenFree);
        }
        return;
    }
    pendingStart = true;
    launchWhenFree();
}

void CMyPropertySheet::launchWhenFree()
{
    if (!pendingStart)
        return;
    if (worker.running()) {
        QTimer::singleShot(kWaitPollMs, this, &CMyPropertySheet::launchWhenFree);
        return;
    }
    pendingStart = false;
    worker.join();
    notifier = std::make_unique<QueuedNotifier>(this, run);
    const EngineEnv workerEnv = env.engineEnv(notifier.get(), &searchAnimation, &worker.stopFlag());
    UpgradeState& shared = state;
    worker.start([&shared, workerEnv] { runIdentification(shared, workerEnv); });
}

void CMyPropertySheet::stopIdentification()
{
    pendingStart = false;
    worker.requestStop();
    worker.join();
}

void CMyPropertySheet::done(int result)
{
    p4->stopPolling();
    // Cancel also stops a run that waits for a silent unit; after Finish the
    // run has already reported and only its release of the port remains.
    if (result != QDialog::Accepted)
        worker.requestStop();
    pendingStart = false;
    QWizard::done(result);
}
