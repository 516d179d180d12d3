// Builds a velmora calibration set from an old_velmora calibration set.
#include "converters/lcnv/VelmoraConversion.h"

#include "calimage/CalLayouts.h"
#include "calimage/RecordOps.h"

CalRecord convertOldVelmoraSet(const CalRecord& old)
{
    CalRecord out(velmoraSetLayout());
    copyFields(old, out, callayout::kLfFields);
    copyFields(old, out, callayout::kRfHeaderFields);
    copyFields(old, out,
               {"rf_points", "rf_masks", "rf_grid_a", "rf_grid_b", "rf_aux_w1", "rf_aux_w2",
                "rf_aux_h1", "rf_bytes_1", "rf_s1", "rf_points_2", "rf_pairs", "rf_aux_w3",
                "rf_aux_h2"});

    const FieldId s10 = oldVelmoraField("rf_s10");
    const FieldId avg = velmoraField("rf_avg");
    const FieldSpec& s10Spec = old.layout().fieldSpec(s10);
    for (std::size_t k = 0; k < 4096; ++k) {
        std::int32_t sum = 0;
        for (std::size_t row = 0; row < 4; ++row) {
            sum += old.i16(s10, s10Spec.at(row, k));
        }
        // Integer division truncates toward zero; the mean of four 16-bit
        // values always fits in 16 bits.
        out.setI16(avg, k, static_cast<std::int16_t>(sum / 4));
    }
    return out;
}
