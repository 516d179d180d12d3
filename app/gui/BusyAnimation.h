// A looping busy picture drawn by the program: a probe travelling along a
// cable towards a spinning search mark.
#pragma once

#include <QTimer>
#include <QWidget>

// Runs from construction. GUI thread only.
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
