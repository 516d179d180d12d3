// The shared page behaviour and the three pages that only show text:
// instructions (page 1) and unit set-up (page 3).
#include "app/gui/PropertyPages.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/gui/DialogRunner.h"
#include "app/gui/EngineEvent.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/PropertySheet.h"
#include "app/gui/Resources.h"

namespace {

QLabel* wrapped(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CSheetPage::CSheetPage(const QString& caption)
{
    setTitle(caption);
}

CMyPropertySheet* CSheetPage::sheet() const
{
    return qobject_cast<CMyPropertySheet*>(wizard());
}

bool CSheetPage::isComplete() const
{
    const CMyPropertySheet* s = sheet();
    return s != nullptr && (s->buttonFlags() & (PSWIZB_NEXT | PSWIZB_FINISH)) != 0;
}

void CSheetPage::postToSheet(int message, int wParam)
{
    if (!postEngineEvent(sheet(), message, wParam)) {
        DialogRunner& runner = sheet() != nullptr ? sheet()->environment().runner() : defaultDialogRunner();
        showUnableToPostBox(runner, this);
    }
}

CMyPropertyPage1::CMyPropertyPage1() : CSheetPage(tr("Instructions"))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(tr("This wizard will take you through the steps of setting up your tester "
                                 "for upgrading to the latest version of firmware.")));
    layout->addStretch();
    version = new QLabel;
    layout->addWidget(version);
}

void CMyPropertyPage1::setActive()
{
    postToSheet(WM_WIZARD_BUTTONS, 1);
}

void CMyPropertyPage1::setVersionLine(const QString& text)
{
    version->setText(text);
}

QString CMyPropertyPage1::versionLine() const
{
    return version->text();
}

CMyPropertyPage3::CMyPropertyPage3() : CSheetPage(tr("How to setup unit for loading"))
{
    auto* layout = new QVBoxLayout(this);
    auto* display = new QLabel(tr("Display Handset:"));
    display->setStyleSheet(QStringLiteral("font-weight: bold"));
    layout->addWidget(display);
    layout->addWidget(wrapped(tr("Turn off the handset.  While depressing the left most function key, "
                                 "power the handset on.  When the unit's display indicates software update "
                                 "mode, release the function key, and click NEXT to continue.")));
    auto* remote = new QLabel(tr("Remote Handset:"));
    remote->setStyleSheet(QStringLiteral("font-weight: bold"));
    layout->addWidget(remote);
    layout->addWidget(wrapped(tr("Unplug the AC Power from the handset.")));
    layout->addWidget(wrapped(tr("While pressing the yellow toner button reconnect the AC Power and "
                                 "continuing to hold the toner button for an additional 5 seconds.")));
    layout->addWidget(wrapped(tr("After a second set of tones is heard, release the toner button.  "
                                 "Click NEXT to continue.")));
    layout->addStretch();
}

void CMyPropertyPage3::setActive()
{
    postToSheet(WM_WIZARD_BUTTONS, 3);
}
