// The wizard: its pages in order, and which page is told it became current
// or stopped being so.
#include "app/gui/UpgradeWizard.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/gui/FinishPage.h"
#include "app/gui/IdentifyPage.h"
#include "app/gui/IntroPage.h"
#include "app/gui/PortPage.h"
#include "app/gui/Resources.h"
#include "app/gui/UnitSetupPage.h"

UpgradeWizard::UpgradeWizard(UpgradeState& state, const GuiEnvironment& env) : unitSearch(state, env, this)
{
    setWindowTitle(res::sheetCaption());
    setWindowIcon(res::icon(res::Icon::Unit));
    setWizardStyle(QWizard::ClassicStyle);
    // Page 1 shows a greyed Back, as every page has the same buttons.
    setOption(QWizard::NoBackButtonOnStartPage, false);
    intro = new IntroPage;
    port = new PortPage(state);
    unitSetup = new UnitSetupPage;
    identify = new IdentifyPage(state, unitSearch);
    finish = new FinishPage(state, env);
    setPage(Intro, intro);
    setPage(Port, port);
    setPage(UnitSetup, unitSetup);
    setPage(Identify, identify);
    setPage(Finish, finish);
    setStartId(Intro);
    setWindowModality(Qt::ApplicationModal);
    connect(this, &QWizard::currentIdChanged, this, &UpgradeWizard::pageChanged);
}

UpgradeWizard::~UpgradeWizard()
{
    unitSearch.stopAndWait();
}

void UpgradeWizard::runModeless()
{
    shownId = -1;
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

void UpgradeWizard::pageChanged(int id)
{
    if (auto* left = qobject_cast<WizardPage*>(page(shownId)))
        left->leave();
    shownId = id;
    if (auto* entered = qobject_cast<WizardPage*>(page(id)))
        entered->activate();
}

void UpgradeWizard::done(int result)
{
    if (auto* left = qobject_cast<WizardPage*>(page(shownId)))
        left->leave();
    shownId = -1;
    QWizard::done(result);
}
