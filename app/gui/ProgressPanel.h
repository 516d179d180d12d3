// The progress display of the main window: nine step rows with traffic
// lights, the current file's counters, the two progress bars with the time
// left, the status line, and how an upgrade failed, redrawn from the
// UpgradeState on each timer tick.
#pragma once

#include <QWidget>
#include <array>
#include <string>

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
    // An upgrade worker starts: the warning not to disconnect shows, and the
    // status text identification left behind is no longer news.
    void startRun(const UpgradeState& state);
    // The display duties of one timer tick: rebuild the rows from a newly
    // published step list, then counters, bars, lights and status line.
    // Returns true when anything was redrawn.
    bool refresh(UpgradeState& state);
    // The upgrade failed: the step it was working on turns to the failed
    // light, the status says so and the detail line gives the cause.
    void showFailure(const QString& cause);

    // What is shown, for the window's users and for tests.
    res::Icon light(int row) const { return lights[row]; }
    QString stepName(int row) const;
    QString currentFile() const;
    QString byteCount() const;
    QString totalBytes() const;
    QString blockCount() const;
    QString status() const;
    // Beneath the bars: the port notice while running, the cause after a failure.
    QString detail() const;
    QString timeLeft() const;
    bool warningShown() const;
    int fileProgress() const;
    int upgradeProgress() const;

private:
    void setLight(int row, res::Icon icon);

    std::array<res::Icon, kRows> lights{};
    std::string staleStatus;
    bool failed = false;
    std::array<QLabel*, kRows> lightLabels{};
    std::array<QLabel*, kRows> names{};
    QLabel* statusLine;
    QLabel* detailLine;
    QLabel* timeLeftLine;
    QLabel* warning;
    QLabel* fileName;
    QLabel* bytes;
    QLabel* total;
    QLabel* blocks;
    QProgressBar* fileBar;
    QProgressBar* upgradeBar;
};
