// Builds an old_velmora calibration set from a kestrin calibration set.
#include "converters/kcnv/KestrinConversion.h"

#include "converters/kcnv/BuiltinTables.h"
#include "calimage/CalLayouts.h"
#include "calimage/RecordOps.h"

namespace {
// rf_pairs: which of the 32 kestrin rows feeds each of the 18 new points.
constexpr std::size_t kPairRows[18] = {0, 1, 3, 5, 7, 9, 11, 13, 15, 16, 17, 19, 21, 23, 25, 27, 29, 31};
// CalAdj_dB takes column w = 4 of the flatness tables.
constexpr std::size_t kFlatColumn = 4;
constexpr std::size_t kFlatRows = 179;

void putBuiltins(CalRecord& out)
{
    const FieldId points = oldVelmoraField("rf_points");
    for (std::size_t i = 0; i < kRfPointsAxis.size(); ++i) {
        out.setF32(points, i, kRfPointsAxis[i]);
    }
    const FieldId points2 = oldVelmoraField("rf_points_2");
    for (std::size_t i = 0; i < kRfPoints2Axis.size(); ++i) {
        out.setF32(points2, i, kRfPoints2Axis[i]);
    }
    const FieldId masks = oldVelmoraField("rf_masks");
    for (std::size_t i = 0; i < kRfMasks.size(); ++i) {
        out.setBits(masks, i, kRfMasks[i]);
    }
    const FieldId gridA = oldVelmoraField("rf_grid_a");
    const FieldId gridB = oldVelmoraField("rf_grid_b");
    const FieldSpec& a = out.layout().fieldSpec(gridA);
    const FieldSpec& b = out.layout().fieldSpec(gridB);
    for (std::size_t j = 0; j < 33; ++j) {
        for (std::size_t i = 0; i < 17; ++i) {
            out.setF32(gridA, a.at(i, j), kGridA[j][i]);
        }
        for (std::size_t i = 0; i < 6; ++i) {
            out.setF32(gridB, b.at(i, j), kGridB[j][i]);
        }
    }
}

void reshapeTables(const CalRecord& in, CalRecord& out)
{
    // Longer rows: the new points have no calibration yet (zero).
    resizeField(in, kestrinField("rf_line_c"), out, oldVelmoraField("rf_line_c"), Extend::Zero);
    resizeField(in, kestrinField("rf_grid_d"), out, oldVelmoraField("rf_grid_d"), Extend::Zero);
    // Shorter: the tail is dropped.
    resizeField(in, kestrinField("rf_s2"), out, oldVelmoraField("rf_s2"), Extend::Zero);
    resizeField(in, kestrinField("rf_bytes_2"), out, oldVelmoraField("rf_bytes_2"), Extend::Zero);
    // More rows or longer rows: the last row or entry carries on.
    resizeField(in, kestrinField("rf_s5"), out, oldVelmoraField("rf_s5"), Extend::RepeatLast);
    resizeField(in, kestrinField("rf_s8"), out, oldVelmoraField("rf_s8"), Extend::RepeatLast);
    resizeField(in, kestrinField("rf_s9"), out, oldVelmoraField("rf_s9"), Extend::RepeatLast);

    // rf_s3 keeps column 4 of each of the 179 rows; entries 179-221 stay 0.
    const FieldId s3In = kestrinField("rf_s3");
    const FieldId s3Out = oldVelmoraField("rf_s3");
    const FieldSpec& s3InSpec = in.layout().fieldSpec(s3In);
    const FieldSpec& s3OutSpec = out.layout().fieldSpec(s3Out);
    for (std::size_t block = 0; block < 4; ++block) {
        for (std::size_t m = 0; m < kFlatRows; ++m) {
            out.setBits(s3Out, s3OutSpec.at(block, m), in.bits(s3In, s3InSpec.at(block, m, kFlatColumn)));
        }
    }

    const FieldId pairsIn = kestrinField("rf_pairs");
    const FieldId pairsOut = oldVelmoraField("rf_pairs");
    const FieldSpec& pInSpec = in.layout().fieldSpec(pairsIn);
    const FieldSpec& pOutSpec = out.layout().fieldSpec(pairsOut);
    for (std::size_t block = 0; block < 4; ++block) {
        for (std::size_t p = 0; p < 18; ++p) {
            for (std::size_t e = 0; e < 2; ++e) {
                out.setBits(pairsOut, pOutSpec.at(block, p, e),
                            in.bits(pairsIn, pInSpec.at(block, kPairRows[p], e)));
            }
        }
    }
}

void computeCalAdj(const CalRecord& in, CalRecord& out)
{
    const FieldId flatM = kestrinField("flat_m");
    const FieldId flatB = kestrinField("flat_b");
    const FieldId adj = oldVelmoraField("CalAdj_dB");
    const FieldSpec& flatSpec = in.layout().fieldSpec(flatM);
    const FieldSpec& adjSpec = out.layout().fieldSpec(adj);
    for (std::size_t block = 0; block < 4; ++block) {
        for (std::size_t m = 0; m < kFlatRows; ++m) {
            const std::size_t at = flatSpec.at(block, m, kFlatColumn);
            out.setI16(adj, adjSpec.at(block, m), calAdjDb(in.u16(flatM, at), in.i16(flatB, at)));
        }
    }
}
} // namespace

std::int16_t calAdjDb(std::uint16_t flatM, std::int16_t flatB)
{
    // At most 2400 * 65535 + 32767 = 157284000 + 32767: fits in 32 bits.
    const std::int32_t t = 2400 * static_cast<std::int32_t>(flatM) + flatB;
    // The shift acts on all 32 bits of t. (Narrowing t to 16 bits first
    // would leave only 0 or -1 and make every entry -2400 or -2401.) C++20
    // defines >> on a negative value as the arithmetic shift.
    return static_cast<std::int16_t>((t >> 15) - 2400);
}

CalRecord convertKestrinSet(const CalRecord& kestrin)
{
    CalRecord out(oldVelmoraSetLayout());
    copyFields(kestrin, out, callayout::kLfFields);
    copyFields(kestrin, out, callayout::kRfHeaderFields);
    copyFields(kestrin, out,
               {"rf_aux_w1", "rf_aux_w2", "rf_aux_h1", "rf_bytes_1", "rf_s1", "rf_s4", "rf_bytes_3",
                "rf_aux_w3", "rf_aux_h2", "rf_s10"});
    putBuiltins(out);
    reshapeTables(kestrin, out);
    computeCalAdj(kestrin, out);
    return out;
}
