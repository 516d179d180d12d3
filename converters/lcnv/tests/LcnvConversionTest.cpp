// Lcnv's conversion, field by field, on an input whose every element holds
// its own pseudo-random value; rf_avg on chosen values.
#include <gtest/gtest.h>

#include "converters/lcnv/tests/LcnvHarness.h"

using namespace testkit;

using namespace lcnvtest;

namespace {
CalRecord convert(const OldVelmoraImage& image)
{
    ScratchDir dir;
    writeBytes(dir.file("output1.bin"), imageBytes(image));
    EXPECT_EQ(runLcnv(dir, "NE").exitStatus, 1);
    return parseVelmoraSet(readBytes(dir.file("output2.bin")));
}
} // namespace

TEST(LcnvConversion, CopiesEverySharedFieldBitForBit)
{
    const OldVelmoraImage image = randomImage(oldVelmoraSetLayout(), 0);
    const CalRecord& in = image.sets[0];
    const CalRecord out = convert(image);
    std::size_t copied = 0;
    for (const FieldSpec& f : velmoraSetLayout().fields()) {
        if (f.name == "rf_avg") {
            continue;
        }
        const auto a = in.values(in.layout().find(f.name));
        const auto b = out.values(out.layout().find(f.name));
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << f.name;
        ++copied;
    }
    EXPECT_EQ(copied, velmoraSetLayout().fields().size() - 1);

    const FieldSpec& s10 = in.layout().fieldSpec(oldVelmoraField("rf_s10"));
    for (std::size_t k = 0; k < 4096; ++k) {
        std::int32_t sum = 0;
        for (std::size_t row = 0; row < 4; ++row) {
            sum += in.i16(oldVelmoraField("rf_s10"), s10.at(row, k));
        }
        ASSERT_EQ(out.i16(velmoraField("rf_avg"), k), sum / 4) << k;
    }
}

TEST(LcnvConversion, RfAvgTruncatesTowardZero)
{
    struct Example {
        std::int16_t v[4];
        std::int16_t avg;
    };
    const Example examples[] = {
        {{1, 2, 2, 2}, 1},
        {{-1, -2, -2, -2}, -1},
        {{32767, 32767, 32767, 32767}, 32767},
        {{-32768, -32768, -32768, -32768}, -32768},
        {{-3, 0, 0, 0}, 0},
        {{32767, 32767, 32767, -32768}, 16383},
    };
    OldVelmoraImage image = randomImage(oldVelmoraSetLayout(), 0);
    CalRecord& set = image.sets[0];
    const FieldSpec& s10 = set.layout().fieldSpec(oldVelmoraField("rf_s10"));
    for (std::size_t k = 0; k < std::size(examples); ++k) {
        for (std::size_t row = 0; row < 4; ++row) {
            set.setI16(oldVelmoraField("rf_s10"), s10.at(row, 1000 + k), examples[k].v[row]);
        }
    }
    const CalRecord out = convert(image);
    for (std::size_t k = 0; k < std::size(examples); ++k) {
        EXPECT_EQ(out.i16(velmoraField("rf_avg"), 1000 + k), examples[k].avg) << k;
    }
}
