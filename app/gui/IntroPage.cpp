// Page 1, "Instructions".
#include "app/gui/IntroPage.h"

#include <QLabel>
#include <QVBoxLayout>

IntroPage::IntroPage() : WizardPage(tr("Instructions"))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(tr("This wizard will take you through the steps of setting up your tester "
                                 "for upgrading to the latest version of firmware.")));
    layout->addStretch();
    version = new QLabel;
    layout->addWidget(version);
}

void IntroPage::setVersionLine(const QString& text)
{
    version->setText(text);
}

QString IntroPage::versionLine() const
{
    return version->text();
}
