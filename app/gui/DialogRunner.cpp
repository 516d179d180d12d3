// The default dialog runner: a modal exec().
#include "app/gui/DialogRunner.h"

#include <QDialog>

int DialogRunner::run(QDialog& dialog)
{
    return dialog.exec();
}

DialogRunner& defaultDialogRunner()
{
    static DialogRunner runner;
    return runner;
}
