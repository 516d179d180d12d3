// Fuzz target: the calibration image readers and both converters' work on
// arbitrary region bytes of any size: reading reads exactly one image
// (making up 0xFF only past the end), and every output has its fixed size
// whatever the input held.
#include <sstream>

#include "calimage/CalImages.h"
#include "converters/kcnv/KestrinConversion.h"
#include "converters/lcnv/VelmoraConversion.h"
#include "fuzz/FuzzInput.h"

namespace {

std::size_t imageSize(const Layout& setLayout)
{
    return factorycalHeaderLayout().byteSize() + 2 * setLayout.byteSize();
}

// Reads bytes as an image of setLayout, checking what the reader consumed.
CalImage readImage(const std::string& bytes, const Layout& setLayout)
{
    std::istringstream stream(bytes);
    ByteReader reader(stream);
    CalImage image = readCalImage(reader, setLayout, Progress{});
    FUZZ_CHECK(reader.count() == imageSize(setLayout));
    FUZZ_CHECK(reader.pastEnd() == (bytes.size() < imageSize(setLayout)));
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const std::string bytes = in.restText();

    // Kcnv: kestrin tables to a one-set old_velmora image.
    static std::size_t kcnvSize = 0;
    const CalImage kestrin = readImage(bytes, kestrinSetLayout());
    const std::size_t current = currentSetIndex(kestrin.header);
    FUZZ_CHECK(current <= 1);
    const CalRecord oldSet = convertKestrinSet(kestrin.sets[current]);
    std::vector<std::uint8_t> output1;
    ByteWriter writer1(output1);
    writeOldVelmoraImage(writer1, kestrin.header, oldSet, Progress{});
    FUZZ_CHECK(output1.size() == factorycalHeaderLayout().byteSize() + oldVelmoraSetLayout().byteSize());
    if (kcnvSize == 0)
        kcnvSize = output1.size();
    FUZZ_CHECK(output1.size() == kcnvSize);

    // Lcnv: an old_velmora image (the fuzzer's, or Kcnv's output) to the
    // velmora load image.
    const std::string lcnvInput = setup & 1 ? std::string(output1.begin(), output1.end()) : bytes;
    const CalImage old = readImage(lcnvInput, oldVelmoraSetLayout());
    const CalRecord velmora = convertOldVelmoraSet(old.sets[currentSetIndex(old.header)]);
    std::vector<std::uint8_t> output2;
    ByteWriter writer2(output2);
    const std::uint32_t start = setup & 2 ? kVelmoraStartNe : kVelmoraStartFe;
    writeVelmoraLoadImage(writer2, start, old.header, velmora, Progress{});
    FUZZ_CHECK(output2.size() == 32 + kVelmoraLoadSpan - 12);
    // The load header names the region the image is loaded into.
    FUZZ_CHECK(output2[8] == ((start >> 24) & 0xFF) && output2[9] == ((start >> 16) & 0xFF) &&
               output2[10] == ((start >> 8) & 0xFF) && output2[11] == (start & 0xFF));

    // The dB adjustment on every pair of values the tables can hold.
    if (bytes.size() >= 4) {
        const auto m = static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes[0]) << 8) | static_cast<std::uint8_t>(bytes[1]));
        const auto b = static_cast<std::int16_t>((static_cast<std::uint8_t>(bytes[2]) << 8) | static_cast<std::uint8_t>(bytes[3]));
        const int adj = calAdjDb(m, b);
        FUZZ_CHECK(adj >= -2401 && adj <= 2400);
    }
    return 0;
}
