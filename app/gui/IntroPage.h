// The wizard's first page, "Instructions".
#pragma once

#include "app/gui/WizardPage.h"

class QLabel;

// What the wizard does, and the loader's version line.
class IntroPage : public WizardPage {
    Q_OBJECT
public:
    IntroPage();
    // The version line, set before each wizard run.
    void setVersionLine(const QString& text);
    QString versionLine() const;

private:
    QLabel* version;
};
