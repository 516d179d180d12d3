// Test helpers: reproducible pseudo-random contents and image bytes.
#include "testkit/RecordFill.h"

#include <random>
#include <sstream>

namespace testkit {

void fillRandom(CalRecord& rec, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    for (FieldId f = 0; f < rec.layout().fields().size(); ++f) {
        for (std::size_t i = 0; i < rec.layout().fieldSpec(f).count(); ++i) {
            rec.setBits(f, i, gen());
        }
    }
}

CalImage randomImage(const Layout& setLayout, std::uint16_t currentSet)
{
    CalImage image(setLayout);
    fillRandom(image.header, 101);
    fillRandom(image.sets[0], 202);
    fillRandom(image.sets[1], 303);
    image.header.setBits(factorycalField("current_set"), 0, currentSet);
    return image;
}

std::vector<std::uint8_t> imageBytes(const CalImage& image)
{
    std::vector<std::uint8_t> out;
    ByteWriter writer(out);
    writeCalImage(writer, image);
    return out;
}

CalImage parseImage(const std::vector<std::uint8_t>& bytes, const Layout& setLayout)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()), std::ios::binary);
    ByteReader reader(in);
    return readCalImage(reader, setLayout, {});
}

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

std::string setTexts(int rfDots)
{
    return "\nLF cal set." + std::string(7, '.') + "\nRF cal set." +
           std::string(static_cast<std::size_t>(rfDots), '.');
}

std::vector<std::uint8_t> expectedLoadHeader(std::uint32_t start, std::uint32_t end)
{
    std::vector<std::uint8_t> out{'E', 'S', 'T', 'F', 'B', 'I', 'N', 'R'};
    for (const std::uint32_t word : {start, end, 0xFF000000u, 0u, start, end}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<std::uint8_t>(word >> shift));
        }
    }
    return out;
}

std::vector<std::uint8_t> loadHeaderImage(std::uint32_t start, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> image = expectedLoadHeader(start, start + static_cast<std::uint32_t>(payload.size()));
    image.insert(image.end(), payload.begin(), payload.end());
    return image;
}

} // namespace testkit
