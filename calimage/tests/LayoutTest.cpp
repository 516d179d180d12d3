// Every field offset and every record size of the calibration layouts,
// written out by hand: reading, writing and conversion all run off the
// layout tables, so one wrong size there would shift every later field.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "calimage/CalLayouts.h"

namespace {
using enum FieldType;

struct Expected {
    std::string_view name;
    std::size_t offset;
    FieldType type;
    std::size_t count;
};

// Offsets within a kestrin set as the units' files hold them; the LF part
// is the same in all three generations.
const std::vector<Expected> kLf = {

    {"ate_sn", 0, U32, 1},
    {"verification_sn", 4, U32, 1},
    {"lf_timestamp", 8, U32, 1},
    {"lf_status", 12, U16, 1},
    {"ate_ohms_zero", 14, F32, 4},
    {"ate_lo_res", 30, F32, 4},
    {"ate_hi_res", 46, F32, 4},
    {"ate_cap", 62, F32, 4},
    {"ate_delay", 78, F32, 16},
    {"ate_batt_v", 142, F32, 1},
    {"raw_battery", 146, I16, 1},
    {"v_lo_res", 148, F32, 4},
    {"v_hi_res", 164, F32, 4},
    {"vml", 180, F32, 4},
    {"vmh", 196, F32, 4},
    {"raw_ohms_short", 212, F32, 4},
    {"v_cap", 228, F32, 4},
    {"raw_delay", 244, F32, 16},
    {"t_cap_zero", 308, F32, 1},
    {"t_delay_zero", 312, F32, 1},
    {"bat_scale", 316, F32, 1},
    {"cap_m", 320, F32, 3},
    {"cap_b", 332, F32, 3},
    {"rsl", 344, F32, 1},
    {"rsh", 348, F32, 1},
    {"vcl", 352, F32, 1},
    {"vch", 356, F32, 1},
    {"track_res", 360, F32, 4},
    {"delay_b", 376, F32, 5},
    {"delay_m", 396, F32, 5},
};

const std::vector<Expected> kKestrinRf = {
    {"rf_hdr_a", 416, U32, 1},
    {"rf_hdr_b", 420, U32, 1},
    {"rf_hdr_c", 424, U32, 1},
    {"rf_hdr_d", 428, U16, 1},
    {"rf_hdr_e", 430, U32, 1},
    {"rf_hdr_f", 434, U32, 1},
    {"rf_hdr_g", 438, U16, 1},
    {"rf_points", 440, F32, 21},
    {"rf_masks", 524, U32, 82},
    {"rf_grid_a", 852, F32, 357},
    {"rf_grid_b", 2280, F32, 126},
    {"rf_line_c", 2784, F32, 21},
    {"rf_grid_d", 2868, F32, 588},
    {"rf_aux_w1", 5220, U32, 1},
    {"rf_aux_w2", 5224, U32, 1},
    {"rf_aux_h1", 5228, U16, 1},
    {"rf_bytes_1", 5230, U8, 38},
    {"rf_s1", 5268, I16, 152},
    {"rf_s2", 5572, U16, 10},
    {"rf_s3", 5592, I16, 7160},
    {"rf_s4", 19912, I16, 30},
    {"rf_bytes_2", 19972, U8, 5},
    {"fill", 19977, Fill, 0},  // one byte, no stored element
    {"rf_s5", 19978, I16, 2860},
    {"rf_bytes_3", 25698, U8, 38},
    {"rf_s6", 25736, I16, 152},
    {"rf_s7", 26040, I16, 152},
    {"rf_s8", 26344, I16, 714},
    {"rf_s9", 27772, I16, 2856},
    {"rf_points_2", 33484, F32, 32},
    {"rf_pairs", 33612, F32, 256},
    {"rf_aux_w3", 34636, U32, 1},
    {"rf_aux_h2", 34640, U16, 1},
    {"rf_s10", 34642, I16, 16384},
    {"rf_s11", 67410, I16, 16384},
    {"rf_s12", 100178, I16, 10},
    {"flat_m", 100198, U16, 7160},
    {"flat_b", 114518, I16, 7160},
};

const std::vector<Expected> kOldVelmoraRf = {
    {"rf_hdr_a", 416, U32, 1},
    {"rf_hdr_b", 420, U32, 1},
    {"rf_hdr_c", 424, U32, 1},
    {"rf_hdr_d", 428, U16, 1},
    {"rf_hdr_e", 430, U32, 1},
    {"rf_hdr_f", 434, U32, 1},
    {"rf_hdr_g", 438, U16, 1},
    {"rf_points", 440, F32, 33},
    {"rf_masks", 572, U32, 82},
    {"rf_grid_a", 900, F32, 561},
    {"rf_grid_b", 3144, F32, 198},
    {"rf_line_c", 3936, F32, 33},
    {"rf_grid_d", 4068, F32, 924},
    {"rf_aux_w1", 7764, U32, 1},
    {"rf_aux_w2", 7768, U32, 1},
    {"rf_aux_h1", 7772, U16, 1},
    {"rf_bytes_1", 7774, U8, 38},
    {"rf_s1", 7812, I16, 152},
    {"rf_s2", 8116, U16, 4},
    {"rf_s3", 8124, I16, 888},
    {"rf_s4", 9900, I16, 30},
    {"rf_bytes_2", 9960, U8, 4},
    {"rf_s5", 9964, I16, 3540},
    {"rf_bytes_3", 17044, U8, 38},
    {"rf_s8", 17082, I16, 888},
    {"rf_s9", 18858, I16, 3528},
    {"rf_points_2", 25914, F32, 18},
    {"rf_pairs", 25986, F32, 144},
    {"rf_aux_w3", 26562, U32, 1},
    {"rf_aux_h2", 26566, U16, 1},
    {"rf_s10", 26568, I16, 16384},
    {"CalAdj_dB", 59336, I16, 888},
};

const std::vector<Expected> kVelmoraRf = {
    {"rf_hdr_a", 416, U32, 1},
    {"rf_hdr_b", 420, U32, 1},
    {"rf_hdr_c", 424, U32, 1},
    {"rf_hdr_d", 428, U16, 1},
    {"rf_hdr_e", 430, U32, 1},
    {"rf_hdr_f", 434, U32, 1},
    {"rf_hdr_g", 438, U16, 1},
    {"rf_points", 440, F32, 33},
    {"rf_masks", 572, U32, 82},
    {"rf_grid_a", 900, F32, 561},
    {"rf_grid_b", 3144, F32, 198},
    {"rf_aux_w1", 3936, U32, 1},
    {"rf_aux_w2", 3940, U32, 1},
    {"rf_aux_h1", 3944, U16, 1},
    {"rf_bytes_1", 3946, U8, 38},
    {"rf_s1", 3984, I16, 152},
    {"rf_points_2", 4288, F32, 18},
    {"rf_pairs", 4360, F32, 144},
    {"rf_aux_w3", 4936, U32, 1},
    {"rf_aux_h2", 4940, U16, 1},
    {"rf_avg", 4942, I16, 4096},
};

const std::vector<Expected> kFactorycalHeader = {
    {"checksum", 0, U32, 1}, {"contents", 4, U16, 1}, {"current_set", 6, U16, 1},
    {"timestamp", 8, U32, 1},
};

const std::vector<Expected> kVelmoraHeader = {
    {"checksum", 0, U32, 1}, {"contents", 4, U16, 1}, {"timestamp", 6, U32, 1},
};

const std::vector<Expected> kLoadHeader = {
    {"signature", 0, U8, 4}, {"format", 4, U8, 4}, {"start", 8, U32, 1}, {"end", 12, U32, 1},
    {"attributes", 16, U32, 1}, {"reserved", 20, U32, 1}, {"start_again", 24, U32, 1},
    {"end_again", 28, U32, 1},
};

std::vector<Expected> join(const std::vector<Expected>& a, const std::vector<Expected>& b)
{
    std::vector<Expected> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

void expectLayout(const Layout& layout, const std::vector<Expected>& expected, std::size_t size)
{
    SCOPED_TRACE(std::string(layout.name()));
    ASSERT_EQ(layout.fields().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(std::string(e.name));
        EXPECT_EQ(layout.fieldSpec(i).name, e.name);
        EXPECT_EQ(layout.offsetOf(i), e.offset);
        EXPECT_EQ(layout.fieldSpec(i).type, e.type);
        EXPECT_EQ(layout.fieldSpec(i).count(), e.count);
        EXPECT_EQ(layout.find(e.name), i);
    }
    EXPECT_EQ(layout.byteSize(), size);
}
} // namespace

TEST(Layouts, KestrinSetFieldsSitAtTheirFileOffsets)
{
    expectLayout(kestrinSetLayout(), join(kLf, kKestrinRf), 128838);
}

TEST(Layouts, OldVelmoraSetFieldsSitAtTheirFileOffsets)
{
    expectLayout(oldVelmoraSetLayout(), join(kLf, kOldVelmoraRf), 61112);
}

TEST(Layouts, VelmoraSetFieldsSitAtTheirFileOffsets)
{
    expectLayout(velmoraSetLayout(), join(kLf, kVelmoraRf), 13134);
}

TEST(Layouts, HeaderFieldsSitAtTheirFileOffsets)
{
    expectLayout(factorycalHeaderLayout(), kFactorycalHeader, 12);
    expectLayout(velmoraHeaderLayout(), kVelmoraHeader, 10);
    expectLayout(loadHeaderLayout(), kLoadHeader, 32);
}

TEST(Layouts, ElementIndicesAreRowMajorLastIndexFastest)
{
    const FieldSpec& s3 = kestrinSetLayout().fieldSpec(kestrinField("rf_s3"));
    EXPECT_EQ(s3.at(0, 0, 4), 4u);
    EXPECT_EQ(s3.at(0, 1, 0), 10u);
    EXPECT_EQ(s3.at(1, 0, 0), 1790u);
    EXPECT_EQ(s3.at(3, 178, 9), 7159u);
    const FieldSpec& s8 = kestrinSetLayout().fieldSpec(kestrinField("rf_s8"));
    EXPECT_EQ(s8.at(1, 0), 119u);
    EXPECT_EQ(layoutByteSize(callayout::kKestrinSetFields), 128838u);
}
