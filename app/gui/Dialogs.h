// The small modal dialogs of the main window: the two completion dialogs,
// Technical Support, the Version Downgrade Warning and the About box.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

// A dialog with one multi-line text and an "Exit"-style default button
// (Accepted) and, optionally, a second button that ends it like Escape and
// the close box (Rejected). GUI thread only.
class CTextDialog : public QDialog {
    Q_OBJECT
public:
    // The text shown; the caller sets it before showing the dialog.
    void setText(const QString& text);
    QString text() const;
    QPushButton* okButton() const { return ok; }
    QPushButton* otherButton() const { return other; }

protected:
    CTextDialog(const QString& caption, const QString& okText, const QString& otherText, QWidget* parent);

private:
    QLabel* label;
    QPushButton* ok;
    QPushButton* other = nullptr;
};

// "Upgrade Completed": the first completion, which asks about the other unit.
class CUpgradeCompletedDlg : public CTextDialog {
    Q_OBJECT
public:
    explicit CUpgradeCompletedDlg(QWidget* parent = nullptr);
};

// "Upgrade is Complete": the next completion, which states the result.
class CUpgradeDoneDlg : public CTextDialog {
    Q_OBJECT
public:
    explicit CUpgradeDoneDlg(QWidget* parent = nullptr);
};

// "Technical Support": a unit too old for this loader.
class CTechSupportDlg : public CTextDialog {
    Q_OBJECT
public:
    explicit CTechSupportDlg(QWidget* parent = nullptr);
};

// "Version Downgrade Warning": a unit newer than the firmware set; its one
// button aborts and ends the program.
class CVersionWarningDlg : public CTextDialog {
    Q_OBJECT
public:
    explicit CVersionWarningDlg(QWidget* parent = nullptr);
};

// "About unitflash": the unit's picture, the loader version and one line.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
