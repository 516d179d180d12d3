// What every page of the upgrade wizard shares: it is told each time it
// becomes the current page and when it stops being it.
#pragma once

#include <QWizardPage>

class QLabel;

// GUI thread only. Whether Next or Finish may be pressed is the page's own
// isComplete(); a page that changes it emits completeChanged().
class WizardPage : public QWizardPage {
    Q_OBJECT
public:
    // Called each time the page becomes the current one, forward or back.
    virtual void activate() {}
    // Called when another page becomes the current one, or the wizard ends.
    virtual void leave() {}

protected:
    explicit WizardPage(const QString& caption) { setTitle(caption); }
    // A label that wraps its plain text.
    static QLabel* wrapped(const QString& text);
};
