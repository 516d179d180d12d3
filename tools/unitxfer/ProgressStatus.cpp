// Progress line and message output of unitxfer's transfer status.
#include "tools/unitxfer/ProgressStatus.h"

#include "tools/unitxfer/ResultText.h"

std::atomic<bool> xferInterruptRequested{false};

namespace {

constexpr std::uint32_t kRedrawMs = 100;

} // namespace

std::string formatProgress(const std::string& fileName, int block, unsigned bytes, unsigned total)
{
    std::string line = fileName + "  block " + std::to_string(block) + "  " + std::to_string(bytes)
        + " bytes";
    if (total > 0) {
        unsigned long long percent = 100ULL * bytes / total;
        line += "  " + std::to_string(percent > 100 ? 100 : percent) + "%";
    }
    return line;
}

ProgressStatus::ProgressStatus(std::FILE* o, Clock& c, bool place, bool talk)
    : out(o), clock(c), inPlace(place), verbose(talk)
{
}

ProgressStatus::~ProgressStatus()
{
    finish();
}

void ProgressStatus::draw()
{
    std::string line = formatProgress(fileNameSnapshot(), blockNumber.load(), bytesDone.load(),
                                      direction == DIRECTION_SEND ? fileSize : 0);
    std::size_t width = line.size();
    // Blank out what is left of a longer previous line.
    if (width < lastWidth)
        line.append(lastWidth - width, ' ');
    std::fprintf(out, "\r%s", line.c_str());
    std::fflush(out);
    lastWidth = width;
    drawn = true;
    lastDrawMs = clock.tickMs();
}

void ProgressStatus::clearLine()
{
    if (!drawn)
        return;
    std::fprintf(out, "\r%s\r", std::string(lastWidth, ' ').c_str());
    drawn = false;
    lastWidth = 0;
}

int ProgressStatus::notify(int result)
{
    if (inPlace && (!drawn || clock.tickMs() - lastDrawMs >= kRedrawMs))
        draw();
    return result;
}

void ProgressStatus::message(const char* text)
{
    if (!verbose || text == nullptr)
        return;
    if (inPlace)
        clearLine();
    std::fprintf(out, "%s\n", text);
    std::fflush(out);
}

int ProgressStatus::abortQuery()
{
    return xferInterruptRequested.load() ? kXferInterrupted : 0;
}

void ProgressStatus::finish()
{
    if (!inPlace || !drawn)
        return;
    draw();
    std::fprintf(out, "\n");
    std::fflush(out);
    drawn = false;
    lastWidth = 0;
}
