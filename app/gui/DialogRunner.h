// Shows the program's modal dialogs and message boxes, so that tests can
// answer them without a nested event loop waiting for a person.
#pragma once

#include <functional>

class QDialog;

// Runs a prepared modal dialog and returns its result code (QDialog::Accepted,
// QDialog::Rejected, or a message box's standard button). GUI thread only.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int run(QDialog& dialog);
};

// The runner used when none is given: QDialog::exec().
DialogRunner& defaultDialogRunner();
