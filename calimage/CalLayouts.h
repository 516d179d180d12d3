// The calibration image layouts: headers, the kestrin, old_velmora and
// velmora calibration sets, and the load header, each as one field table.
#pragma once

#include <array>
#include <stdexcept>

#include "calimage/CalLayout.h"

namespace callayout {
using enum FieldType;

// The LF cal set: the same fields, in the same order, at the start of every
// calibration set of every generation.
inline constexpr std::array kLfFields{
    field("ate_sn", U32), field("verification_sn", U32), field("lf_timestamp", U32),
    field("lf_status", U16), field("ate_ohms_zero", F32, 4), field("ate_lo_res", F32, 4),
    field("ate_hi_res", F32, 4), field("ate_cap", F32, 4), field("ate_delay", F32, 16),
    field("ate_batt_v", F32), field("raw_battery", I16), field("v_lo_res", F32, 4),
    field("v_hi_res", F32, 4), field("vml", F32, 4), field("vmh", F32, 4),
    field("raw_ohms_short", F32, 4), field("v_cap", F32, 4), field("raw_delay", F32, 16),
    field("t_cap_zero", F32), field("t_delay_zero", F32), field("bat_scale", F32),
    field("cap_m", F32, 3), field("cap_b", F32, 3), field("rsl", F32), field("rsh", F32),
    field("vcl", F32), field("vch", F32), field("track_res", F32, 4), field("delay_b", F32, 5),
    field("delay_m", F32, 5),
};

// The first words of the RF cal set, shared by every generation.
inline constexpr std::array kRfHeaderFields{
    field("rf_hdr_a", U32), field("rf_hdr_b", U32), field("rf_hdr_c", U32),
    field("rf_hdr_d", U16), field("rf_hdr_e", U32), field("rf_hdr_f", U32),
    field("rf_hdr_g", U16),
};

inline constexpr std::array kKestrinRfFields{
    field("rf_points", F32, 21), field("rf_masks", U32, 82), field("rf_grid_a", F32, 17, 21),
    field("rf_grid_b", F32, 6, 21), field("rf_line_c", F32, 21),
    field("rf_grid_d", F32, 4, 7, 21), field("rf_aux_w1", U32), field("rf_aux_w2", U32),
    field("rf_aux_h1", U16), field("rf_bytes_1", U8, 38), field("rf_s1", I16, 4, 38),
    field("rf_s2", U16, 10), field("rf_s3", I16, 4, 179, 10), field("rf_s4", I16, 5, 6),
    field("rf_bytes_2", U8, 5), field("fill", Fill), field("rf_s5", I16, 4, 143, 5),
    field("rf_bytes_3", U8, 38), field("rf_s6", I16, 4, 38), field("rf_s7", I16, 4, 38),
    field("rf_s8", I16, 6, 119), field("rf_s9", I16, 4, 7, 102), field("rf_points_2", F32, 32),
    field("rf_pairs", F32, 4, 32, 2), field("rf_aux_w3", U32), field("rf_aux_h2", U16),
    field("rf_s10", I16, 4, 4096), field("rf_s11", I16, 4, 4096), field("rf_s12", I16, 10),
    field("flat_m", U16, 4, 179, 10), field("flat_b", I16, 4, 179, 10),
};

inline constexpr std::array kOldVelmoraRfFields{
    field("rf_points", F32, 33), field("rf_masks", U32, 82), field("rf_grid_a", F32, 17, 33),
    field("rf_grid_b", F32, 6, 33), field("rf_line_c", F32, 33),
    field("rf_grid_d", F32, 4, 7, 33), field("rf_aux_w1", U32), field("rf_aux_w2", U32),
    field("rf_aux_h1", U16), field("rf_bytes_1", U8, 38), field("rf_s1", I16, 4, 38),
    field("rf_s2", U16, 4), field("rf_s3", I16, 4, 222), field("rf_s4", I16, 5, 6),
    field("rf_bytes_2", U8, 4), field("rf_s5", I16, 4, 177, 5), field("rf_bytes_3", U8, 38),
    field("rf_s8", I16, 6, 148), field("rf_s9", I16, 4, 7, 126), field("rf_points_2", F32, 18),
    field("rf_pairs", F32, 4, 18, 2), field("rf_aux_w3", U32), field("rf_aux_h2", U16),
    field("rf_s10", I16, 4, 4096), field("CalAdj_dB", I16, 4, 222),
};

inline constexpr std::array kVelmoraRfFields{
    field("rf_points", F32, 33), field("rf_masks", U32, 82), field("rf_grid_a", F32, 17, 33),
    field("rf_grid_b", F32, 6, 33), field("rf_aux_w1", U32), field("rf_aux_w2", U32),
    field("rf_aux_h1", U16), field("rf_bytes_1", U8, 38), field("rf_s1", I16, 4, 38),
    field("rf_points_2", F32, 18), field("rf_pairs", F32, 4, 18, 2), field("rf_aux_w3", U32),
    field("rf_aux_h2", U16), field("rf_avg", I16, 4096),
};

inline constexpr auto kKestrinSetFields = joinFields(kLfFields, kRfHeaderFields, kKestrinRfFields);
inline constexpr auto kOldVelmoraSetFields =
    joinFields(kLfFields, kRfHeaderFields, kOldVelmoraRfFields);
inline constexpr auto kVelmoraSetFields = joinFields(kLfFields, kRfHeaderFields, kVelmoraRfFields);

// FactorycalHeader: in front of kestrin and old_velmora images.
inline constexpr std::array kFactorycalHeaderFields{
    field("checksum", U32), field("contents", U16), field("current_set", U16),
    field("timestamp", U32),
};

// The 10-byte header of a velmora image: no current_set.
inline constexpr std::array kVelmoraHeaderFields{
    field("checksum", U32), field("contents", U16), field("timestamp", U32),
};

// LoadHeader: in front of an image the unit's loader places at an address.
inline constexpr std::array kLoadHeaderFields{
    field("signature", U8, 4), field("format", U8, 4), field("start", U32), field("end", U32),
    field("attributes", U32), field("reserved", U32), field("start_again", U32),
    field("end_again", U32),
};

// Fields [0, kLfFieldCount) of a set are its LF part; the rest is RF.
inline constexpr std::size_t kLfFieldCount = kLfFields.size();

// Compile-time field lookup: an unknown name stops the build.
consteval FieldId requireField(std::span<const FieldSpec> fields, std::string_view name)
{
    const FieldId id = findField(fields, name);
    if (id == kNoField) {
        throw std::invalid_argument("no such field in this layout");
    }
    return id;
}
} // namespace callayout

const Layout& factorycalHeaderLayout();
const Layout& kestrinSetLayout();
const Layout& oldVelmoraSetLayout();
const Layout& velmoraHeaderLayout();
const Layout& velmoraSetLayout();
const Layout& loadHeaderLayout();

consteval FieldId kestrinField(std::string_view name)
{
    return callayout::requireField(callayout::kKestrinSetFields, name);
}
consteval FieldId oldVelmoraField(std::string_view name)
{
    return callayout::requireField(callayout::kOldVelmoraSetFields, name);
}
consteval FieldId velmoraField(std::string_view name)
{
    return callayout::requireField(callayout::kVelmoraSetFields, name);
}
consteval FieldId factorycalField(std::string_view name)
{
    return callayout::requireField(callayout::kFactorycalHeaderFields, name);
}
consteval FieldId velmoraHeaderField(std::string_view name)
{
    return callayout::requireField(callayout::kVelmoraHeaderFields, name);
}
consteval FieldId loadHeaderField(std::string_view name)
{
    return callayout::requireField(callayout::kLoadHeaderFields, name);
}
