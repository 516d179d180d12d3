// The small window shown while the unit is searched for: a caption that
// carries the search's status over a looping busy picture.
#pragma once

#include <QDialog>

class BusyAnimation;

// No close box and no buttons, so the technician cannot close it; only the
// search ends it. Shown centred over its parent (the wizard). GUI thread
// only.
class SearchWindow : public QDialog {
    Q_OBJECT
public:
    // str: the clip the animation stands for (kept for reference; the
    // picture is drawn); caption: the first window title.
    SearchWindow(const QString& str, const QString& caption, QWidget* parent);
    const QString& clipPath() const { return clip; }
    BusyAnimation* animation() const { return busy; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString clip;
    BusyAnimation* busy;
};
