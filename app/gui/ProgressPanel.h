// The progress display of the main window: nine step rows with traffic
// lights, the current file's counters, the two progress bars and the
// status line, redrawn from the UpgradeState on each timer tick.
#pragma once

#include <QWidget>
#include <array>

#include "app/gui/Resources.h"

class QLabel;
class QProgressBar;
class UpgradeState;

// GUI thread only. refresh() reads the state through a ProgressSnapshot
// (and the unit's kind and model) and never writes it except listShown.
class ProgressPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 9;

    explicit ProgressPanel(QWidget* parent = nullptr);

    // The start of a wizard run: "Loading File List..." in row 1, the other
    // names empty, every light empty, both bars at 0.
    void reset();
    // The display duties of one timer tick: rebuild the rows from a newly
    // published step list, then counters, bars, lights and status line.
    // Returns true when anything was redrawn.
    bool refresh(UpgradeState& state);

    // What is shown, for the window's users and for tests.
    res::Icon light(int row) const { return lights[row]; }
    QString stepName(int row) const;
    QString currentFile() const;
    QString byteCount() const;
    QString totalBytes() const;
    QString blockCount() const;
    QString status() const;
    int fileProgress() const;
    int upgradeProgress() const;

private:
    void setLight(int row, res::Icon icon);

    std::array<res::Icon, kRows> lights{};
    std::array<QLabel*, kRows> lightLabels{};
    std::array<QLabel*, kRows> names{};
    QLabel* statusLine;
    QLabel* fileName;
    QLabel* bytes;
    QLabel* total;
    QLabel* blocks;
    QProgressBar* fileBar;
    QProgressBar* upgradeBar;
};
