// Shared by the wizard's tests: a dialog runner that answers modal dialogs
// and records them, helpers that read what a window shows, and screenshots.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "app/gui/DialogRunner.h"

class QWidget;
class QWizard;

// One dialog as it was shown.
struct ShownDialog {
    QString className;
    QString title;
    QString text;  // the text of a TextDialog or a message box
};

// Records every dialog and answers it: with the next scripted answer when
// there is one, otherwise Accepted (a message box: its OK or Yes). An
// answer gets the dialog while it is on screen, so it can look at it. An
// opened dialog is answered from the event loop, as a person would.
class ScriptedRunner : public DialogRunner {
public:
    using Answer = std::function<int(QDialog&)>;
    void open(QDialog& dialog) override;
    int run(QDialog& dialog) override;

    std::vector<Answer> answers;
    std::vector<ShownDialog> shown;

private:
    int answer(QDialog& dialog);
};

// Every text a window shows: labels, buttons, group boxes, list items,
// wizard page titles and the window title.
QStringList visibleTexts(const QWidget& widget);
bool showsText(const QWidget& widget, const QString& text);

// Grabs widget into <screenshot folder>/<platform>/<name>.png and checks
// that the picture is non-empty and that the window shows keyText.
void saveScreenshot(QWidget& widget, const QString& name, const QString& keyText);

// Clicks a wizard button once it is enabled (waits up to timeoutMs).
bool clickWhenEnabled(QWizard& wizard, int which, int timeoutMs = 5000);

// From page 1 to page 5 of a wizard whose search finds a unit; false when a
// button stays disabled.
bool walkToFinishPage(QWizard& wizard, int timeoutMs = 20000);
