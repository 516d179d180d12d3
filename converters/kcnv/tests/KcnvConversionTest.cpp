// Kcnv's conversion, field by field, on an input whose every element holds
// its own pseudo-random value, so a field taken from a wrong place fails.
#include <gtest/gtest.h>

#include <bit>

#include "converters/kcnv/tests/KcnvHarness.h"

using namespace testkit;

using namespace kcnvtest;

namespace {
struct Converted {
    KestrinImage input{kestrinSetLayout()};
    OldVelmoraImage output{oldVelmoraSetLayout()};
};

// Runs Kcnv once on `input` and parses what it wrote.
Converted convert(const KestrinImage& input)
{
    ScratchDir dir;
    writeBytes(dir.file("caltab.bin"), bytesOf(input));
    const ChildResult run = runKcnv(dir);
    EXPECT_EQ(run.exitStatus, 1);
    return {parseKestrin(bytesOf(input)), parseOldVelmora(readBytes(dir.file("output1.bin")))};
}

const Converted& randomRun()
{
    static const Converted run = convert(randomKestrin(0));
    return run;
}

class KcnvConversion : public ::testing::Test {
protected:
    const CalRecord& in = randomRun().input.sets[0];
    const CalRecord& out = randomRun().output.sets[0];

    const FieldSpec& inSpec(FieldId f) const { return in.layout().fieldSpec(f); }
    const FieldSpec& outSpec(FieldId f) const { return out.layout().fieldSpec(f); }
};
} // namespace

TEST_F(KcnvConversion, CopiesTheLfPartAndTheUnchangedRfTablesBitForBit)
{
    std::vector<std::string_view> same;
    for (const FieldSpec& f : callayout::kLfFields) {
        same.push_back(f.name);
    }
    for (const FieldSpec& f : callayout::kRfHeaderFields) {
        same.push_back(f.name);
    }
    for (const char* name : {"rf_aux_w1", "rf_aux_w2", "rf_aux_h1", "rf_bytes_1", "rf_s1", "rf_s4",
                             "rf_bytes_3", "rf_aux_w3", "rf_aux_h2", "rf_s10"}) {
        same.emplace_back(name);
    }
    for (const std::string_view name : same) {
        const auto a = in.values(in.layout().find(name));
        const auto b = out.values(out.layout().find(name));
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << name;
    }
}

TEST_F(KcnvConversion, AxesMasksAndGridsAreTheBuiltInConstants)
{
    const FieldId points = oldVelmoraField("rf_points");
    EXPECT_EQ(out.f32(points, 0), 2000000.0f);
    for (std::size_t k = 1; k <= 32; ++k) {
        EXPECT_EQ(out.f32(points, k), 10000000.0f * static_cast<float>(k)) << k;
    }
    const FieldId points2 = oldVelmoraField("rf_points_2");
    const float mhz[18] = {1, 10, 20, 30, 40, 50, 60, 70, 80, 81, 90, 100, 110, 120, 130, 140, 150, 160};
    for (std::size_t k = 0; k < 18; ++k) {
        EXPECT_EQ(out.f32(points2, k), mhz[k] * 1e6f) << k;
    }
    // The masks keep their unsorted order.
    const FieldId masks = oldVelmoraField("rf_masks");
    const std::pair<std::size_t, std::uint32_t> maskAt[] = {
        {0, 1}, {15, 256}, {16, 160}, {24, 1024}, {25, 528}, {65, 32768}, {66, 16416}, {67, 32772}, {81, 65666}};
    for (const auto& [i, v] : maskAt) {
        EXPECT_EQ(out.u32(masks, i), v) << i;
    }
    // rf_grid_a[i][j] is row j, column i of grid table A (the nearest f32).
    const FieldId gridA = oldVelmoraField("rf_grid_a");
    const FieldId gridB = oldVelmoraField("rf_grid_b");
    EXPECT_EQ(out.bits(gridA, outSpec(gridA).at(16, 29)), 0x3F35C28Fu);  // 0.71
    EXPECT_EQ(out.bits(gridA, outSpec(gridA).at(6, 3)), 0x3D8F5C29u);    // 0.07
    EXPECT_EQ(out.f32(gridA, outSpec(gridA).at(15, 21)), 0.64f);
    EXPECT_EQ(out.f32(gridA, outSpec(gridA).at(1, 24)), 0.01f);
    EXPECT_EQ(out.f32(gridA, outSpec(gridA).at(1, 23)), 0.0f);
    EXPECT_EQ(out.f32(gridA, outSpec(gridA).at(9, 13)), 0.2f);
    EXPECT_EQ(out.bits(gridB, outSpec(gridB).at(2, 21)), 0x3F8E147Bu);  // 1.11
    EXPECT_EQ(out.f32(gridB, outSpec(gridB).at(0, 0)), 0.1f);
    EXPECT_EQ(out.f32(gridB, outSpec(gridB).at(3, 12)), 0.71f);
    EXPECT_EQ(out.f32(gridB, outSpec(gridB).at(5, 32)), 1.09f);
}

TEST_F(KcnvConversion, LongerRowsAreZeroFilled)
{
    for (const char* name : {"rf_line_c", "rf_grid_d"}) {
        const FieldId fi = in.layout().find(name);
        const FieldId fo = out.layout().find(name);
        for (std::size_t a = 0; a < outSpec(fo).dims[0]; ++a) {
            for (std::size_t b = 0; b < outSpec(fo).dims[1]; ++b) {
                for (std::size_t c = 0; c < 33; ++c) {
                    const std::uint32_t expected = c < 21 ? in.bits(fi, inSpec(fi).at(a, b, c)) : 0u;
                    ASSERT_EQ(out.bits(fo, outSpec(fo).at(a, b, c)), expected) << name << a << b << c;
                }
            }
        }
    }
}

TEST_F(KcnvConversion, ShortenedTablesKeepTheirFirstEntries)
{
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(out.bits(oldVelmoraField("rf_s2"), i), in.bits(kestrinField("rf_s2"), i));
        EXPECT_EQ(out.bits(oldVelmoraField("rf_bytes_2"), i), in.bits(kestrinField("rf_bytes_2"), i));
    }
}

TEST_F(KcnvConversion, AddedRowsAndEntriesRepeatTheLastSourceOne)
{
    const FieldId s5i = kestrinField("rf_s5");
    const FieldId s5o = oldVelmoraField("rf_s5");
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t r = 0; r < 177; ++r) {
            for (std::size_t c = 0; c < 5; ++c) {
                ASSERT_EQ(out.bits(s5o, outSpec(s5o).at(a, r, c)),
                          in.bits(s5i, inSpec(s5i).at(a, std::min<std::size_t>(r, 142), c)));
            }
        }
    }
    const FieldId s8i = kestrinField("rf_s8");
    const FieldId s8o = oldVelmoraField("rf_s8");
    for (std::size_t a = 0; a < 6; ++a) {
        for (std::size_t c = 0; c < 148; ++c) {
            ASSERT_EQ(out.bits(s8o, outSpec(s8o).at(a, c)), in.bits(s8i, inSpec(s8i).at(a, std::min<std::size_t>(c, 118))));
        }
    }
    const FieldId s9i = kestrinField("rf_s9");
    const FieldId s9o = oldVelmoraField("rf_s9");
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t b = 0; b < 7; ++b) {
            for (std::size_t c = 0; c < 126; ++c) {
                ASSERT_EQ(out.bits(s9o, outSpec(s9o).at(a, b, c)),
                          in.bits(s9i, inSpec(s9i).at(a, b, std::min<std::size_t>(c, 101))));
            }
        }
    }
}

TEST_F(KcnvConversion, RfS3KeepsColumnFourOfEachRow)
{
    const FieldId si = kestrinField("rf_s3");
    const FieldId so = oldVelmoraField("rf_s3");
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t m = 0; m < 222; ++m) {
            const std::uint32_t expected = m < 179 ? in.bits(si, inSpec(si).at(a, m, 4)) : 0u;
            ASSERT_EQ(out.bits(so, outSpec(so).at(a, m)), expected) << a << " " << m;
        }
    }
}

TEST_F(KcnvConversion, RfPairsTakeTheMappedKestrinRows)
{
    // row 0; 2p - 1 for p = 1..8; row 16 for p = 9; 2p - 3 for p = 10..17.
    const FieldId pi = kestrinField("rf_pairs");
    const FieldId po = oldVelmoraField("rf_pairs");
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t p = 0; p < 18; ++p) {
            const std::size_t row = p == 0 ? 0 : p <= 8 ? 2 * p - 1 : p == 9 ? 16 : 2 * p - 3;
            for (std::size_t e = 0; e < 2; ++e) {
                EXPECT_EQ(out.bits(po, outSpec(po).at(a, p, e)), in.bits(pi, inSpec(pi).at(a, row, e)))
                    << a << " " << p;
            }
        }
    }
}

TEST_F(KcnvConversion, CalAdjDbShiftsTheFull32BitSum)
{
    const FieldId fm = kestrinField("flat_m");
    const FieldId fb = kestrinField("flat_b");
    const FieldId adj = oldVelmoraField("CalAdj_dB");
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t m = 0; m < 222; ++m) {
            std::int32_t expected = 0;
            if (m < 179) {
                const std::size_t at = inSpec(fm).at(a, m, 4);
                expected = ((2400 * static_cast<std::int32_t>(in.u16(fm, at)) + in.i16(fb, at)) >> 15) - 2400;
            }
            ASSERT_EQ(out.i16(adj, outSpec(adj).at(a, m)), expected) << a << " " << m;
        }
    }
}

TEST(KcnvCalAdj, WorkedExamples)
{
    struct Example {
        std::uint16_t m;
        std::int16_t b;
        std::int16_t db;
    };
    const Example examples[] = {
        {32768, 0, 0},          // t = 78643200 = 2400 << 15
        {0, 0, -2400},
        {0, -1, -2401},         // the shift rounds toward minus infinity
        {1, -3000, -2401},
        {0, -32768, -2401},
        {65535, 32767, 2400},   // largest t
        {65535, -32768, 2398},
        {40000, 123, 529},      // t = 96000123, >> 15 = 2929
    };
    KestrinImage image = randomKestrin(0);
    CalRecord& set = image.sets[0];
    const FieldSpec& flat = set.layout().fieldSpec(kestrinField("flat_m"));
    for (std::size_t k = 0; k < std::size(examples); ++k) {
        set.setBits(kestrinField("flat_m"), flat.at(2, k, 4), examples[k].m);
        set.setI16(kestrinField("flat_b"), flat.at(2, k, 4), examples[k].b);
    }
    const Converted run = convert(image);
    const CalRecord& out = run.output.sets[0];
    const FieldSpec& adj = out.layout().fieldSpec(oldVelmoraField("CalAdj_dB"));
    for (std::size_t k = 0; k < std::size(examples); ++k) {
        EXPECT_EQ(out.i16(oldVelmoraField("CalAdj_dB"), adj.at(2, k)), examples[k].db) << k;
    }
}
