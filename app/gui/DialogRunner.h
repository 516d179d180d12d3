// Shows the program's dialogs and message boxes, so that tests can answer
// them without waiting for a person.
#pragma once

class QDialog;

// GUI thread only.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Opens a dialog without waiting for it; its finished() signal carries
    // the answer. Window-modal over a visible parent, application-modal
    // otherwise (the main window is hidden during the first wizard run).
    virtual void open(QDialog& dialog);
    // Shows a dialog and waits for its answer in a nested event loop. Only
    // for the fatal library error box, after which the process ends.
    virtual int run(QDialog& dialog);
};

// The runner used when none is given.
DialogRunner& defaultDialogRunner();
