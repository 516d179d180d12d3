// The main window's text dialogs: the two completion dialogs, Technical
// Support and the Version Downgrade Warning.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

// A dialog with one multi-line text and an "Exit"-style default button
// (Accepted) and, optionally, a second button that ends it like Escape and
// the close box (Rejected). GUI thread only.
class TextDialog : public QDialog {
    Q_OBJECT
public:
    // The text shown; the caller sets it before showing the dialog.
    void setText(const QString& text);
    QString text() const;
    QPushButton* okButton() const { return ok; }
    QPushButton* otherButton() const { return other; }

protected:
    TextDialog(const QString& caption, const QString& okText, const QString& otherText, QWidget* parent);

private:
    QLabel* label;
    QPushButton* ok;
    QPushButton* other = nullptr;
};

// "Upgrade Completed": the first completion, which asks about the other unit.
class UpgradeCompletedDialog : public TextDialog {
    Q_OBJECT
public:
    explicit UpgradeCompletedDialog(QWidget* parent = nullptr);
};

// "Upgrade is Complete": the next completion, which states the result.
class UpgradeDoneDialog : public TextDialog {
    Q_OBJECT
public:
    explicit UpgradeDoneDialog(QWidget* parent = nullptr);
};

// "Technical Support": a unit too old for this loader.
class TechSupportDialog : public TextDialog {
    Q_OBJECT
public:
    explicit TechSupportDialog(QWidget* parent = nullptr);
};

// "Version Downgrade Warning": a unit newer than the firmware set; its one
// button aborts and ends the program.
class VersionWarningDialog : public TextDialog {
    Q_OBJECT
public:
    explicit VersionWarningDialog(QWidget* parent = nullptr);
};
