// The step rows, counters and bars of the progress display.
#include "app/gui/ProgressPanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/ProgressSnapshot.h"
#include "engine/UpgradeState.h"

namespace {

constexpr int kIconSize = res::kIconSize;

QLabel* valueLabel()
{
    auto* label = new QLabel;
    label->setMinimumWidth(140);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

ProgressPanel::ProgressPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* group = new QGroupBox(tr("Update File Check List"));
    auto* rows = new QGridLayout(group);
    for (int i = 0; i < kRows; ++i) {
        lightLabels[i] = new QLabel;
        lightLabels[i]->setFixedSize(kIconSize, kIconSize);
        names[i] = new QLabel;
        names[i]->setTextFormat(Qt::PlainText);
        names[i]->setMinimumWidth(180);
        rows->addWidget(lightLabels[i], i, 0);
        rows->addWidget(names[i], i, 1);
    }
    rows->setColumnStretch(1, 1);
    layout->addWidget(group, 1);

    auto* right = new QVBoxLayout;
    statusLine = new QLabel;
    statusLine->setTextFormat(Qt::PlainText);
    res::makeBold(statusLine);
    right->addWidget(statusLine);
    auto* counters = new QGridLayout;
    fileName = valueLabel();
    bytes = valueLabel();
    total = valueLabel();
    blocks = valueLabel();
    const std::pair<QString, QLabel*> lines[] = {{tr("Current File Name:"), fileName},
                                                 {tr("Byte Count:"), bytes},
                                                 {tr("Total Bytes:"), total},
                                                 {tr("Block Count:"), blocks}};
    int line = 0;
    for (const auto& [caption, value] : lines) {
        counters->addWidget(new QLabel(caption), line, 0);
        counters->addWidget(value, line++, 1);
    }
    right->addLayout(counters);
    fileBar = new QProgressBar;
    upgradeBar = new QProgressBar;
    right->addWidget(new QLabel(tr("Progress of File:")));
    right->addWidget(fileBar);
    right->addWidget(new QLabel(tr("Progress of the Upgrade")));
    right->addWidget(upgradeBar);
    timeLeftLine = new QLabel;
    timeLeftLine->setTextFormat(Qt::PlainText);
    right->addWidget(timeLeftLine);
    detailLine = new QLabel;
    detailLine->setTextFormat(Qt::PlainText);
    detailLine->setWordWrap(true);
    detailLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(detailLine);
    right->addStretch();
    warning = new QLabel(tr("Do not disconnect the unit or switch it off until the upgrade has finished."));
    warning->setWordWrap(true);
    res::makeBold(warning);
    right->addWidget(warning);
    layout->addLayout(right, 1);
    reset();
}

void ProgressPanel::setLight(int row, res::Icon icon)
{
    lights[row] = icon;
    lightLabels[row]->setPixmap(res::icon(icon).pixmap(kIconSize, kIconSize));
}

void ProgressPanel::reset()
{
    for (int i = 0; i < kRows; ++i) {
        setLight(i, res::Icon::Empty);
        names[i]->clear();
    }
    names[0]->setText(tr("Loading File List..."));
    fileBar->setValue(0);
    upgradeBar->setValue(0);
    timeLeftLine->clear();
    detailLine->clear();
    warning->hide();
    failed = false;
}

void ProgressPanel::startRun(const UpgradeState& state)
{
    staleStatus = state.statusText();
    failed = false;
    detailLine->clear();
    detailLine->setStyleSheet(QString());
    warning->show();
}

void ProgressPanel::showFailure(const QString& cause)
{
    failed = true;
    warning->hide();
    timeLeftLine->clear();
    // The step the cause names ("CUSTOMCAB: ...", or a file in quotes),
    // since some steps run out of their listed order; else the step being
    // worked on, the first listed one not done.
    int row = -1;
    for (int i = 0; i < kRows && row < 0; ++i) {
        const QString name = names[i]->text();
        if (!name.isEmpty() && lights[i] != res::Icon::GreenLight
            && (cause.startsWith(name + QLatin1Char(':')) || cause.contains(QLatin1Char('"') + name + QLatin1Char('"'))))
            row = i;
    }
    for (int i = 0; i < kRows && row < 0; ++i)
        if (lights[i] == res::Icon::YellowLight)
            row = i;
    // Nothing else is in progress any more.
    for (int i = 0; i < kRows; ++i)
        if (lights[i] == res::Icon::YellowLight && i != row)
            setLight(i, res::Icon::RedLight);
    if (row >= 0)
        setLight(row, res::Icon::FailedLight);
    statusLine->setText(tr("Upgrade failed"));
    detailLine->setStyleSheet(QStringLiteral("color: #b00000"));
    detailLine->setText(cause.isEmpty() ? tr("The upgrade stopped before it was finished.") : cause);
}

bool ProgressPanel::refresh(UpgradeState& state)
{
    if (state.listReady == 0)
        return false;
    // A new list is marked shown before it is copied: one the worker
    // publishes after the mark sets listShown to 0 again and is drawn on the
    // next tick, one published before the mark is already in the copy.
    const bool newList = state.listShown == 0;
    if (newList)
        ++state.listShown;
    const ProgressSnapshot snap = takeProgressSnapshot(state, staleStatus);
    if (newList) {
        for (int i = 0; i < kRows; ++i) {
            setLight(i, res::Icon::Empty);
            names[i]->clear();
            if (snap.steps.slots[i].present != 0) {
                names[i]->setText(displayName(QString::fromStdString(snap.steps.slots[i].name)));
                setLight(i, res::Icon::RedLight);
            }
        }
    }

    const unsigned done = snap.bytes;
    const int size = snap.fileSize;
    fileName->setText(displayName(QString::fromStdString(snap.fileName)));
    blocks->setText(QString::number(snap.block));
    bytes->setText(QString::number(done));
    total->setText(QString::number(static_cast<unsigned>(size)));
    const int filePercent = size > 0 ? static_cast<int>(static_cast<double>(done) / size * 100.0) : 0;
    fileBar->setValue(std::clamp(filePercent, 0, 100));
    upgradeBar->setValue(std::clamp(snap.overallPercent, 0, 100));

    // After a failure the lights stay as showFailure() left them.
    if (failed)
        return true;
    // The lights walk down the list: done steps green, the first step after
    // a done one yellow; row 1 is yellow until its step is done.
    const auto& s = snap.steps.slots;
    setLight(0, s[0].present != 0 && s[0].done != 0 ? res::Icon::GreenLight : res::Icon::YellowLight);
    for (int i = 1; i < kRows; ++i) {
        if (s[i].done != 0)
            setLight(i, res::Icon::GreenLight);
        else if (s[i - 1].done != 0 && s[i].present != 0)
            setLight(i, res::Icon::YellowLight);
    }

    // A notice of the engine's (the port went away, and came back).
    detailLine->setText(QString::fromStdString(snap.notice));
    timeLeftLine->setText(snap.overallPercent < 100 ? QString::fromStdString(timeLeftText(snap.secondsLeft)) : QString());
    if (snap.overallPercent == 100) {
        warning->hide();
        statusLine->setText(tr("Upgrade is Finished!"));
    } else if (state.unitKind == UNIT_DISPLAY) {
        statusLine->setText(tr("Updating %1 Display Handset..").arg(state.model.load()));
    } else if (state.unitKind == UNIT_REMOTE) {
        statusLine->setText(tr("Updating %1 Remote Handset..").arg(state.model.load()));
    }
    return true;
}

QString ProgressPanel::stepName(int row) const { return names[row]->text(); }
QString ProgressPanel::currentFile() const { return fileName->text(); }
QString ProgressPanel::byteCount() const { return bytes->text(); }
QString ProgressPanel::totalBytes() const { return total->text(); }
QString ProgressPanel::blockCount() const { return blocks->text(); }
QString ProgressPanel::status() const { return statusLine->text(); }
QString ProgressPanel::detail() const { return detailLine->text(); }
QString ProgressPanel::timeLeft() const { return timeLeftLine->text(); }
bool ProgressPanel::warningShown() const { return !warning->isHidden(); }
int ProgressPanel::fileProgress() const { return fileBar->value(); }
int ProgressPanel::upgradeProgress() const { return upgradeBar->value(); }
