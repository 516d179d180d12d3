// The program's message boxes, each shown modally through a DialogRunner.
#pragma once

#include <QString>

class DialogRunner;
class QWidget;

// "ERROR OCCURED": a control or firmware file is missing. Stop icon, OK.
void showMissingFilesBox(DialogRunner& runner, QWidget* parent);
// "Upgrade failed": the cause the engine gave (the step, the file, why).
void showUpgradeFailedBox(DialogRunner& runner, QWidget* parent, const QString& cause);
// Another unit's calibration carry-over is unfinished in the set (why says
// whose and where it stopped); true to set it aside and upgrade this unit.
bool askSetAsidePending(DialogRunner& runner, QWidget* parent, const QString& why);
// "Error" / "Could not Open Control File!" at the wizard's Finish.
void showControlFileBox(DialogRunner& runner, QWidget* parent);
// "Unable to post message": a page found no sheet to post to.
void showUnableToPostBox(DialogRunner& runner, QWidget* parent);
// Asks whether to close the main window while the upgrade runs; true to close.
bool askCloseWhileRunning(DialogRunner& runner, QWidget* parent);
// The fatal library error; the process ends after it returns.
void showLibraryErrorBox(DialogRunner& runner, const QString& message, const QString& title);
