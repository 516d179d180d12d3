// Reading and writing whole calibration images in one forward pass.
#include "calimage/CalImages.h"

#include <vector>

using callayout::kLfFieldCount;

namespace {
// Spreads `dots` dots evenly over the fields of one part.
class DotPacer {
public:
    DotPacer(const Progress& progress, int dots, std::size_t fields)
        : print_(progress.print), dots_(dots), fields_(fields)
    {
    }
    void afterField(std::size_t k)
    {
        const auto due = static_cast<int>((k + 1) * static_cast<std::size_t>(dots_) / fields_);
        while (print_ && printed_ < due) {
            print_(".");
            ++printed_;
        }
    }

private:
    const TextSink& print_;
    int dots_;
    std::size_t fields_;
    int printed_ = 0;
};

void say(const Progress& progress, std::string_view text)
{
    if (progress.print) {
        progress.print(text);
    }
}

void writeSetBody(ByteWriter& out, const CalRecord& set, const Progress& progress)
{
    const std::size_t all = set.layout().fields().size();
    DotPacer lf(progress, progress.lfDots, kLfFieldCount);
    writeFields(out, set, 0, kLfFieldCount, [&](std::size_t k) { lf.afterField(k); });
    say(progress, "\nRF cal set.");
    DotPacer rf(progress, progress.rfDots, all - kLfFieldCount);
    writeFields(out, set, kLfFieldCount, all, [&](std::size_t k) { rf.afterField(k); });
}

} // namespace

void readSet(ByteReader& in, CalRecord& set, const Progress& progress)
{
    const std::size_t all = set.layout().fields().size();
    say(progress, "\nLF cal set.");
    DotPacer lf(progress, progress.lfDots, kLfFieldCount);
    readFields(in, set, 0, kLfFieldCount, [&](std::size_t k) { lf.afterField(k); });
    say(progress, "\nRF cal set.");
    DotPacer rf(progress, progress.rfDots, all - kLfFieldCount);
    readFields(in, set, kLfFieldCount, all, [&](std::size_t k) { rf.afterField(k); });
}

void writeSet(ByteWriter& out, const CalRecord& set, const Progress& progress)
{
    say(progress, "\nLF cal set.");
    writeSetBody(out, set, progress);
}

CalImage readCalImage(ByteReader& in, const Layout& setLayout, const Progress& progress)
{
    CalImage image(setLayout);
    readRecord(in, image.header);
    say(progress, ".");
    for (CalRecord& set : image.sets) {
        readSet(in, set, progress);
    }
    return image;
}

KestrinImage readKestrinImage(ByteReader& in, const Progress& progress)
{
    return readCalImage(in, kestrinSetLayout(), progress);
}

OldVelmoraImage readOldVelmoraImage(ByteReader& in, const Progress& progress)
{
    return readCalImage(in, oldVelmoraSetLayout(), progress);
}

std::size_t currentSetIndex(const CalRecord& factorycalHeader)
{
    return factorycalHeader.u16(factorycalField("current_set")) == 0 ? 0 : 1;
}

void writeOldVelmoraImage(ByteWriter& out, const CalRecord& source, const CalRecord& set,
                          const Progress& progress)
{
    CalRecord header(factorycalHeaderLayout());
    header.setBits(factorycalField("checksum"), 0, calSum(set));
    header.setBits(factorycalField("contents"), 0, source.u16(factorycalField("contents")));
    header.setBits(factorycalField("current_set"), 0, 0);
    header.setBits(factorycalField("timestamp"), 0, source.u32(factorycalField("timestamp")));
    writeRecord(out, header);
    writeSet(out, set, progress);
}

void writeLoadHeader(ByteWriter& out, std::uint32_t start, std::uint32_t end)
{
    static constexpr char kSignature[] = "ESTF";
    static constexpr char kFormat[] = "BINR";
    CalRecord header(loadHeaderLayout());
    for (std::size_t i = 0; i < 4; ++i) {
        header.setBits(loadHeaderField("signature"), i, static_cast<std::uint8_t>(kSignature[i]));
        header.setBits(loadHeaderField("format"), i, static_cast<std::uint8_t>(kFormat[i]));
    }
    header.setBits(loadHeaderField("start"), 0, start);
    header.setBits(loadHeaderField("end"), 0, end);
    header.setBits(loadHeaderField("attributes"), 0, 0xFF000000u);
    header.setBits(loadHeaderField("reserved"), 0, 0);
    header.setBits(loadHeaderField("start_again"), 0, start);
    header.setBits(loadHeaderField("end_again"), 0, end);
    writeRecord(out, header);
}

void writeRegionLoadImage(ByteWriter& out, ByteReader& source, std::uint32_t start, std::uint32_t end)
{
    writeLoadHeader(out, start, end);
    for (std::uint32_t address = start; address < end; ++address) {
        out.u8(source.u8());
    }
}

void writeVelmoraLoadImage(ByteWriter& out, std::uint32_t start, const CalRecord& source,
                           const CalRecord& set, const Progress& progress)
{
    writeLoadHeader(out, start, start + kVelmoraLoadSpan);
    say(progress, "\nLF cal set.");
    CalRecord header(velmoraHeaderLayout());
    header.setBits(velmoraHeaderField("checksum"), 0, calSum(set));
    header.setBits(velmoraHeaderField("contents"), 0, source.u16(factorycalField("contents")));
    header.setBits(velmoraHeaderField("timestamp"), 0, source.u32(factorycalField("timestamp")));
    writeRecord(out, header);
    writeSetBody(out, set, progress);
}

void writeCalImage(ByteWriter& out, const CalImage& image)
{
    writeRecord(out, image.header);
    for (const CalRecord& set : image.sets) {
        writeRecord(out, set);
    }
}
