// The five wizard pages: instructions, port choice, unit set-up, the
// identification display and the confirmation with the upgrade mode.
#pragma once

#include <QTimer>
#include <QWizardPage>

class CMyPropertySheet;
class QButtonGroup;
class QLabel;
class QListWidget;
class QRadioButton;

// What every page shares: it is told when it becomes active, posts to its
// sheet, and lets the sheet's button flags decide whether Next or Finish
// may be pressed.
class CSheetPage : public QWizardPage {
    Q_OBJECT
public:
    // Called by the sheet each time the page becomes the current one.
    virtual void setActive() = 0;
    bool isComplete() const override;

protected:
    explicit CSheetPage(const QString& caption);
    CMyPropertySheet* sheet() const;
    // Posts a message to the sheet; shows "Unable to post message" when
    // there is no sheet, and goes on.
    void postToSheet(int message, int wParam);
};

// Page 1, "Instructions".
class CMyPropertyPage1 : public CSheetPage {
    Q_OBJECT
public:
    CMyPropertyPage1();
    void setActive() override;
    // The version line, set before each wizard run.
    void setVersionLine(const QString& text);
    QString versionLine() const;

private:
    QLabel* version;
};

// Page 2, "Comm Setup": the four port names and the device behind each.
class CMyPropertyPage2 : public CSheetPage {
    Q_OBJECT
public:
    CMyPropertyPage2();
    void setActive() override;
    bool validatePage() override;
    // Asks for the list to be filled again at the next activation.
    void setRefillList() { refillList = 1; }
    QListWidget* portList() const { return list; }
    QLabel* deviceLabel() const { return devices; }

private:
    QListWidget* list;
    QLabel* devices;
    int refillList = 1;
};

// Page 3, "How to setup unit for loading": the set-up instructions.
class CMyPropertyPage3 : public CSheetPage {
    Q_OBJECT
public:
    CMyPropertyPage3();
    void setActive() override;
};

// Page 4, "ID the unit": starts an identification and polls its status
// every 50 ms.
class CMyPropertyPage4 : public CSheetPage {
    Q_OBJECT
public:
    CMyPropertyPage4();
    void setActive() override;
    // One status poll (the timer's duty).
    void poll();
    void stopPolling() { timer.stop(); }
    QString statusLine() const;
    QString foundLine() const;

private:
    QLabel* status;
    QLabel* found;
    QTimer timer;
};

// Page 5, "Finish the Upgrade": both versions and the upgrade mode.
class CMyPropertyPage5 : public CSheetPage {
    Q_OBJECT
public:
    CMyPropertyPage5();
    void setActive() override;
    bool validatePage() override;
    // The checked option: 0 update only, 1 reinstall, 2 downgrade.
    int choice() const;
    QRadioButton* option(int index) const;
    QString unitVersionText() const;
    QString targetVersionText() const;

private:
    QLabel* unitVersion;
    QLabel* targetVersion;
    QButtonGroup* options;
};
