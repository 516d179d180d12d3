// Progress text of unitflash-cli: in-place frame and plain lines.
#include "app/cli/ProgressView.h"

#include <algorithm>

namespace {

bool noFile(const std::string& name)
{
    return name.empty() || name == "<None>";
}

const StepSlot& slotOf(const StepListView& steps, int i)
{
    return steps.slots[static_cast<std::size_t>(i)];
}

std::vector<std::string> namesOf(const StepListView& steps)
{
    std::vector<std::string> names;
    for (int i : shownSteps(steps))
        names.push_back(baseName(slotOf(steps, i).name));
    return names;
}

std::string earlierNote(const StepListView& steps)
{
    const int earlier = stepsDoneEarlier(steps);
    return earlier == 0 ? std::string()
                        : "(" + std::to_string(earlier) + (earlier == 1 ? " step" : " steps")
            + " done in an earlier run)";
}

// "upgrade 40%", with the time left while the upgrade runs.
std::string upgradeText(const ProgressSnapshot& snap)
{
    std::string text = "upgrade " + std::to_string(snap.overallPercent) + "%";
    const std::string left = snap.overallPercent < 100 ? timeLeftText(snap.secondsLeft) : std::string();
    return left.empty() ? text : text + ", " + left;
}

}  // namespace

std::string baseName(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<int> shownSteps(const StepListView& steps)
{
    std::vector<int> shown;
    for (int i = 0; i < static_cast<int>(steps.slots.size()); ++i) {
        const StepSlot& slot = slotOf(steps, i);
        if (slot.present)
            shown.push_back(i);
        else if (!slot.done)
            break;  // the end of the list; a cleared slot is not
    }
    return shown;
}

int stepsDoneEarlier(const StepListView& steps)
{
    const std::vector<int> shown = shownSteps(steps);
    int cleared = 0;
    for (int i = 0; !shown.empty() && i < shown.back(); ++i)
        if (!slotOf(steps, i).present && slotOf(steps, i).done)
            ++cleared;
    return cleared;
}

int runningStep(const StepListView& steps)
{
    for (int i : shownSteps(steps))
        if (!slotOf(steps, i).done)
            return i;
    return -1;
}

std::string renderTransferLine(const ProgressSnapshot& snap)
{
    std::string line;
    if (noFile(snap.fileName)) {
        line = "no transfer running";
    } else {
        line = baseName(snap.fileName) + "  block " + std::to_string(snap.block) + "  "
            + std::to_string(snap.bytes);
        if (snap.fileSize > 1) {
            const unsigned long long percent = 100ULL * snap.bytes / static_cast<unsigned>(snap.fileSize);
            line += " of " + std::to_string(snap.fileSize) + " bytes  "
                + std::to_string(percent > 100 ? 100 : percent) + "%";
        } else {
            line += " bytes";
        }
    }
    return line + "  |  " + upgradeText(snap);
}

std::vector<std::string> renderProgress(const ProgressSnapshot& snap)
{
    std::vector<std::string> lines;
    const int running = runningStep(snap.steps);
    if (const std::string note = earlierNote(snap.steps); !note.empty())
        lines.push_back(note);
    for (int i : shownSteps(snap.steps)) {
        const StepSlot& slot = slotOf(snap.steps, i);
        const char* mark = slot.done ? "[x] " : (i == running ? "[>] " : "[ ] ");
        lines.push_back(mark + baseName(slot.name));
    }
    if (lines.empty())
        lines.push_back("(no step list yet)");
    lines.push_back(renderTransferLine(snap));
    if (!snap.notice.empty())
        lines.push_back("! " + snap.notice);
    return lines;
}

std::vector<std::string> ProgressLog::update(const ProgressSnapshot& snap, std::uint32_t nowMs)
{
    std::vector<std::string> lines;
    std::vector<std::string> names = namesOf(snap.steps);
    if (names != listNames || first) {
        std::string line = "Steps:";
        for (const std::string& n : names)
            line += " " + n;
        if (const std::string note = earlierNote(snap.steps); !note.empty())
            line += " " + note;
        lines.push_back(names.empty() ? "Steps: (none yet)" : line);
        listNames = std::move(names);
        running = -2;
    }
    // Positions in the shown list, not slot numbers.
    const std::vector<int> shown = shownSteps(snap.steps);
    const int slot = runningStep(snap.steps);
    const int now = slot < 0 ? -1 : static_cast<int>(std::find(shown.begin(), shown.end(), slot) - shown.begin());
    if (now != running) {
        // Steps that began and ended between two looks.
        const int end = now >= 0 ? now : static_cast<int>(listNames.size());
        for (int i = std::max(running + 1, 0); running >= 0 && i < end; ++i)
            lines.push_back("Step " + std::to_string(i + 1) + "/" + std::to_string(listNames.size()) + ": "
                            + listNames[static_cast<std::size_t>(i)] + " (done)");
        if (now >= 0)
            lines.push_back("Step " + std::to_string(now + 1) + "/" + std::to_string(listNames.size()) + ": "
                            + listNames[static_cast<std::size_t>(now)]);
        else if (!listNames.empty())
            lines.push_back("All steps done (upgrade " + std::to_string(snap.overallPercent) + "%)");
        running = now;
    }
    if (snap.notice != notice) {
        if (!snap.notice.empty())
            lines.push_back("! " + snap.notice);
        notice = snap.notice;
    }
    if (snap.fileName != file) {
        if (!noFile(snap.fileName))
            lines.push_back("Transfer: " + baseName(snap.fileName));
        file = snap.fileName;
        bytes = snap.bytes;
        lastLineMs = nowMs;
    } else if (snap.bytes != bytes && nowMs - lastLineMs >= intervalMs) {
        lines.push_back("  " + renderTransferLine(snap));
        bytes = snap.bytes;
        lastLineMs = nowMs;
    }
    first = false;
    return lines;
}

void ProgressPainter::erase()
{
    if (frame.empty())
        return;
    // Up to the frame's first line, then clear to the end of the screen.
    std::fprintf(out, "\x1b[%zuA\r\x1b[J", frame.size());
    frame.clear();
}

void ProgressPainter::show(const ProgressSnapshot& snap, std::uint32_t nowMs)
{
    if (!inPlace) {
        for (const std::string& line : log.update(snap, nowMs))
            std::fprintf(out, "%s\n", line.c_str());
        std::fflush(out);
        return;
    }
    std::vector<std::string> next = renderProgress(snap);
    if (next == frame)
        return;
    erase();
    for (const std::string& line : next)
        std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    frame = std::move(next);
}

void ProgressPainter::printAbove(const std::string& text)
{
    if (inPlace)
        erase();
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

void ProgressPainter::finish()
{
    frame.clear();
    std::fflush(out);
}
