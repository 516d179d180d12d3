// The default dialog runner: open() without waiting, exec() for the fatal box.
#include "app/gui/DialogRunner.h"

#include <QDialog>

void DialogRunner::open(QDialog& dialog)
{
    const QWidget* parent = dialog.parentWidget();
    if (parent != nullptr && parent->isVisible()) {
        dialog.open();
        return;
    }
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

int DialogRunner::run(QDialog& dialog)
{
    return dialog.exec();
}

DialogRunner& defaultDialogRunner()
{
    static DialogRunner runner;
    return runner;
}
