// Test helpers: reproducible pseudo-random contents.
#include "RecordFill.h"

#include <random>

std::vector<std::uint8_t> randomBytes(std::size_t n, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(n);
    for (std::uint8_t& b : out) {
        b = static_cast<std::uint8_t>(gen() >> 24);
    }
    return out;
}

void fillRandom(CalRecord& rec, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    for (FieldId f = 0; f < rec.layout().fields().size(); ++f) {
        for (std::size_t i = 0; i < rec.layout().spec(f).count(); ++i) {
            rec.setBits(f, i, gen());
        }
    }
}
