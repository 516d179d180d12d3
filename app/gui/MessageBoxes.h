// The program's message boxes. Each is built here and shown by its caller
// (through a DialogQueue or a DialogRunner); the caller owns it.
#pragma once

#include <QCoreApplication>
#include <QString>

class DialogRunner;
class QMessageBox;
class QWidget;

class MessageBoxes {
    Q_DECLARE_TR_FUNCTIONS(MessageBoxes)
public:
    // "ERROR OCCURED": a control or firmware file is missing. Stop icon, OK.
    static QMessageBox* missingFiles(QWidget* parent);
    // "Upgrade failed": the cause the engine gave (the step, the file, why).
    static QMessageBox* upgradeFailed(QWidget* parent, const QString& cause);
    // The unit has no serial number and the set holds an unfinished
    // carry-over of a unit without one (why says where it stopped). Yes: it
    // is this unit, resume; No: another unit, upgrade it beside; Cancel
    // (the default): end.
    static QMessageBox* unnamedCarryOver(QWidget* parent, const QString& why);
    // "Error" / "Could not Open Control File!" at the wizard's Finish.
    static QMessageBox* controlFile(QWidget* parent);
    // Asks whether to close the main window while the upgrade runs. Yes
    // closes; No (the default) keeps it.
    static QMessageBox* closeWhileRunning(QWidget* parent);
};

// The fatal library error, shown and waited for; the process ends after it
// returns.
void showLibraryErrorBox(DialogRunner& runner, const QString& message, const QString& title);
