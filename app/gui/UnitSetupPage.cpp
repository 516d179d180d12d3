// Page 3, "How to setup unit for loading".
#include "app/gui/UnitSetupPage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/gui/Resources.h"

namespace {

QLabel* heading(const QString& text)
{
    auto* label = new QLabel(text);
    res::makeBold(label);
    return label;
}

}  // namespace

UnitSetupPage::UnitSetupPage() : WizardPage(tr("How to setup unit for loading"))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading(tr("Display Handset:")));
    layout->addWidget(wrapped(tr("Turn off the handset.  While depressing the left most function key, "
                                 "power the handset on.  When the unit's display indicates software update "
                                 "mode, release the function key, and click NEXT to continue.")));
    layout->addWidget(heading(tr("Remote Handset:")));
    layout->addWidget(wrapped(tr("Unplug the AC Power from the handset.")));
    layout->addWidget(wrapped(tr("While pressing the yellow toner button reconnect the AC Power and "
                                 "continuing to hold the toner button for an additional 5 seconds.")));
    layout->addWidget(wrapped(tr("After a second set of tones is heard, release the toner button.  "
                                 "Click NEXT to continue.")));
    layout->addStretch();
}
