// The fixed-text message boxes.
#include "app/gui/MessageBoxes.h"

#include <QMessageBox>

#include "app/gui/DialogRunner.h"

namespace {

QMessageBox* box(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                 QMessageBox::StandardButtons buttons = QMessageBox::Ok)
{
    return new QMessageBox(icon, title, text, buttons, parent);
}

QMessageBox* question(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox* q = box(parent, QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No);
    q->setDefaultButton(QMessageBox::No);
    q->setEscapeButton(QMessageBox::No);
    return q;
}

}  // namespace

QMessageBox* MessageBoxes::missingFiles(QWidget* parent)
{
    return box(parent, QMessageBox::Critical, tr("ERROR OCCURED"),
               tr("Loader is unable to locate one or more of the files required.\n"
                  "Please reinstall loader and try again."));
}

QMessageBox* MessageBoxes::upgradeFailed(QWidget* parent, const QString& cause)
{
    return box(parent, QMessageBox::Critical, tr("Upgrade failed"),
               tr("%1\n\nThe unit keeps what it has received. Upgrade it again once the cause is mended.").arg(cause));
}

QMessageBox* MessageBoxes::unnamedCarryOver(QWidget* parent, const QString& why)
{
    QMessageBox* q = box(parent, QMessageBox::Warning, tr("Unfinished carry-over of a unit without serial number"),
                         tr("%1\n\nIs this unit the one whose carry-over is unfinished?\n"
                            "Yes: resume its carry-over.\n"
                            "No: it is another unit; upgrade it beside that carry-over.\n"
                            "Cancel: upgrade nothing.")
                             .arg(why),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    q->setDefaultButton(QMessageBox::Cancel);
    q->setEscapeButton(QMessageBox::Cancel);
    return q;
}

QMessageBox* MessageBoxes::controlFile(QWidget* parent)
{
    return box(parent, QMessageBox::NoIcon, tr("Error"), tr("Could not Open Control File!"));
}

QMessageBox* MessageBoxes::closeWhileRunning(QWidget* parent)
{
    return question(parent, tr("Upgrade Utility "),
                    tr("The upgrade is still running.\n"
                       "If you close the program now, the upgrade stops and the unit keeps "
                       "what it has received so far. Upgrade this unit again afterwards: a "
                       "calibration carry-over resumes from the log where it stopped, and the "
                       "firmware files are sent again.\n\n"
                       "Stop the upgrade and close?"));
}

void showLibraryErrorBox(DialogRunner& runner, const QString& message, const QString& title)
{
    QMessageBox fatal(QMessageBox::Critical, title, message, QMessageBox::Ok);
    fatal.setWindowModality(Qt::ApplicationModal);
    runner.run(fatal);
}
