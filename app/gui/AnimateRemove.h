// The search animation shown while the unit is identified: the captioned
// window CAnimateRemove, the looping busy picture it plays, and the bridge
// that lets the identification worker drive it from its own thread.
#pragma once

#include <QDialog>
#include <QObject>
#include <QTimer>
#include <memory>

#include "engine/EngineEnv.h"

// A looping busy picture drawn by the program: a probe travelling along a
// cable towards a spinning search mark. Runs while visible.
class BusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    int frame() const { return step; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QTimer ticker;
    int step = 0;
};

// The small window with a caption, no close box and no buttons, so the
// technician cannot close it. GUI thread only.
class CAnimateRemove : public QDialog {
    Q_OBJECT
public:
    // str: the clip the animation stands for (kept for reference; the
    // picture is drawn); caption: the first window title.
    CAnimateRemove(const QString& str, const QString& caption, QWidget* parent);
    const QString& clipPath() const { return clip; }
    BusyAnimation* animation() const { return busy; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString clip;
    BusyAnimation* busy;
};

// The engine's SearchAnimation for the GUI: create, setCaption and destroy
// may be called from any thread; each is carried out later on the GUI
// thread, in the order of the calls. Must outlive every worker given it.
class GuiSearchAnimation : public QObject, public SearchAnimation {
    Q_OBJECT
public:
    explicit GuiSearchAnimation(QWidget* owner);
    ~GuiSearchAnimation() override;

    void create() override;
    void setCaption(const std::string& caption) override;
    void destroy() override;

    // The window while it exists; null otherwise. GUI thread only.
    CAnimateRemove* window() const { return shown.get(); }

private:
    QWidget* owner;
    std::unique_ptr<CAnimateRemove> shown;
};
