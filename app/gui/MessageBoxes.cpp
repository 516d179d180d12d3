// The fixed-text message boxes.
#include "app/gui/MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "app/gui/DialogRunner.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MessageBoxes", text);
}

int showBox(DialogRunner& runner, QWidget* parent, QMessageBox::Icon icon, const QString& title,
            const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    QMessageBox box(icon, title, text, buttons, parent);
    // Application-modal even while the main window is still hidden.
    box.setWindowModality(Qt::ApplicationModal);
    return runner.run(box);
}

}  // namespace

void showMissingFilesBox(DialogRunner& runner, QWidget* parent)
{
    showBox(runner, parent, QMessageBox::Critical, tr("ERROR OCCURED"),
            tr("Loader is unable to locate one or more of the files required.\n"
               "Please reinstall loader and try again."));
}

void showUpgradeFailedBox(DialogRunner& runner, QWidget* parent, const QString& cause)
{
    showBox(runner, parent, QMessageBox::Critical, tr("Upgrade failed"),
            cause + tr("\n\nThe unit keeps what it has received. Upgrade it again once the cause is mended."));
}

bool askSetAsidePending(DialogRunner& runner, QWidget* parent, const QString& why)
{
    QMessageBox box(QMessageBox::Warning, tr("Unfinished carry-over of another unit"),
                    why + tr("\n\nSet that unit's carry-over aside and upgrade this unit?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return runner.run(box) == QMessageBox::Yes;
}

void showControlFileBox(DialogRunner& runner, QWidget* parent)
{
    showBox(runner, parent, QMessageBox::NoIcon, tr("Error"), tr("Could not Open Control File!"));
}

void showUnableToPostBox(DialogRunner& runner, QWidget* parent)
{
    showBox(runner, parent, QMessageBox::NoIcon, QString(), tr("Unable to post message"));
}

bool askCloseWhileRunning(DialogRunner& runner, QWidget* parent)
{
    QMessageBox box(QMessageBox::Warning, tr("Upgrade Utility "),
                    tr("The upgrade is still running.\n"
                       "If you close the program now, the upgrade stops and the unit keeps "
                       "what it has received so far. Upgrade this unit again afterwards: a "
                       "calibration carry-over resumes from the log where it stopped, and the "
                       "firmware files are sent again.\n\n"
                       "Stop the upgrade and close?"),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return runner.run(box) == QMessageBox::Yes;
}

void showLibraryErrorBox(DialogRunner& runner, const QString& message, const QString& title)
{
    showBox(runner, nullptr, QMessageBox::Critical, title, message);
}
