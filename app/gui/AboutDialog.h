// The About box of the main window.
#pragma once

#include <QDialog>

// "About unitflash": the unit's picture, the loader version and one line.
// GUI thread only.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
