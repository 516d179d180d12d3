// Plausible factory calibration tables and cable database for a virtual unit.
#include "sim/unit/FactoryImages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "calimage/CalImages.h"
#include "sim/unit/MemoryMap.h"
#include "sim/unit/UnitState.h"

SeededRandom::SeededRandom(const std::string& seedText)
{
    // FNV-1a of the text as the seed.
    state = 1469598103934665603ull;
    for (unsigned char c : seedText)
        state = (state ^ c) * 1099511628211ull;
}

std::uint64_t SeededRandom::next()
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SeededRandom::uniform(double low, double high)
{
    return low + (high - low) * static_cast<double>(next() >> 11) / 9007199254740992.0;
}

namespace {

// Nominal values of the LF fields: a reference standard measured by the
// factory's test equipment, each value then drawn within a small tolerance.
struct Nominal {
    std::string_view name;
    double value;
    double step;       // added per element, for tables that grow
    double tolerance;  // relative
};

constexpr Nominal kLfNominals[] = {
    {"ate_ohms_zero", 0.12, 0.0, 0.2},  {"ate_lo_res", 10.0, 0.0, 0.005},
    {"ate_hi_res", 1000.0, 0.0, 0.005}, {"ate_cap", 1000.0, 0.0, 0.01},
    {"ate_delay", 10.0, 10.0, 0.01},    {"ate_batt_v", 6.0, 0.0, 0.02},
    {"v_lo_res", 0.5, 0.0, 0.02},       {"v_hi_res", 2.4, 0.0, 0.02},
    {"vml", 0.12, 0.0, 0.03},           {"vmh", 2.9, 0.0, 0.01},
    {"raw_ohms_short", 0.02, 0.0, 0.1}, {"v_cap", 1.25, 0.0, 0.02},
    {"raw_delay", 52.0, 51.0, 0.01},    {"t_cap_zero", 12.5, 0.0, 0.05},
    {"t_delay_zero", 3.2, 0.0, 0.05},   {"bat_scale", 0.00195, 0.0, 0.01},
    {"cap_m", 1.02, 0.0, 0.01},         {"cap_b", -3.1, 0.0, 0.05},
    {"rsl", 10.0, 0.0, 0.002},          {"rsh", 1000.0, 0.0, 0.002},
    {"vcl", 0.25, 0.0, 0.01},           {"vch", 2.5, 0.0, 0.01},
    {"track_res", 0.05, 0.0, 0.1},      {"delay_b", -1.2, 0.0, 0.05},
    {"delay_m", 0.98, 0.0, 0.01},
};

const Nominal* nominalFor(std::string_view name)
{
    for (const Nominal& n : kLfNominals)
        if (n.name == name)
            return &n;
    return nullptr;
}

// Fills one calibration set. Float tables over a frequency axis follow a
// cable-loss curve (a square-root law plus a linear term) with per-row
// gains; 16-bit tables are smooth curves in hundredths of a decibel with a
// little measurement noise; masks and header words are bit patterns.
void fillSet(CalRecord& set, SeededRandom& random, std::uint32_t ateSerial, std::uint32_t stamp)
{
    const Layout& layout = set.layout();
    for (FieldId f = 0; f < layout.fields().size(); ++f) {
        const FieldSpec& field = layout.fieldSpec(f);
        const std::size_t n = field.count();
        const std::size_t row = field.dims[2];
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t column = i % row;
            const std::size_t rowIndex = i / row;
            const double x = row > 1 ? static_cast<double>(column) / static_cast<double>(row - 1) : 0;
            switch (field.type) {
            case FieldType::F32: {
                double v;
                if (const Nominal* nominal = nominalFor(field.name)) {
                    v = (nominal->value + nominal->step * static_cast<double>(i)) *
                        (1.0 + random.uniform(-nominal->tolerance, nominal->tolerance));
                } else if (field.name.starts_with("rf_points")) {
                    v = 1.0 * std::pow(350.0, x);  // 1 MHz .. 350 MHz, logarithmic
                } else if (field.name == "rf_pairs") {
                    v = column == 0 ? 0.8 + 0.05 * static_cast<double>(rowIndex % 4)
                                    : random.uniform(-0.02, 0.02);
                } else {
                    const double gain = 1.0 + 0.08 * static_cast<double>(rowIndex % 17);
                    const double mhz = std::pow(350.0, x);
                    v = gain * (1.9 * std::sqrt(mhz) + 0.02 * mhz) * (1.0 + random.uniform(-0.01, 0.01));
                }
                set.setF32(f, i, static_cast<float>(v));
                break;
            }
            case FieldType::I16: {
                const double phase = 6.2831853 * static_cast<double>(column) / static_cast<double>(row);
                double v = 350.0 * std::sin(phase + 0.3 * static_cast<double>(rowIndex % 7)) +
                           40.0 * static_cast<double>(rowIndex % 5) + random.uniform(-6.0, 6.0);
                if (field.name == "raw_battery")
                    v = 3100.0 + random.uniform(-40.0, 40.0);
                set.setI16(f, i, static_cast<std::int16_t>(std::lround(v)));
                break;
            }
            case FieldType::U16: {
                double v = field.name == "lf_status" ? 1.0 : 1000.0 + random.uniform(-25.0, 25.0);
                set.setBits(f, i, static_cast<std::uint32_t>(std::lround(v)));
                break;
            }
            case FieldType::U32:
                if (field.name == "ate_sn")
                    set.setBits(f, i, ateSerial);
                else if (field.name == "verification_sn")
                    set.setBits(f, i, ateSerial + 17);
                else if (field.name == "lf_timestamp")
                    set.setBits(f, i, stamp);
                else
                    set.setBits(f, i, static_cast<std::uint32_t>(random.next()));
                break;
            case FieldType::U8:
                set.setBits(f, i, static_cast<std::uint32_t>(random.next() % 64));
                break;
            case FieldType::Fill:
                break;
            }
        }
    }
}

void putWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

}  // namespace

std::vector<std::uint8_t> makeFactoryCalibration(const std::string& serial, int model)
{
    SeededRandom random("calibration:" + serial);
    const Layout& layout = model == 7410 ? oldVelmoraSetLayout() : kestrinSetLayout();
    const std::uint32_t ateSerial = 100000 + static_cast<std::uint32_t>(random.next() % 900000);
    // Calibrated some time in 2011-2013; the older set two months earlier.
    const std::uint32_t stamp = 1293840000u + static_cast<std::uint32_t>(random.next() % 94608000u);
    CalImage image(layout);
    fillSet(image.sets[0], random, ateSerial, stamp);
    fillSet(image.sets[1], random, ateSerial, stamp - 5184000u);
    image.header.setBits(factorycalField("checksum"), 0, calSum(image.sets[0]));
    image.header.setBits(factorycalField("contents"), 0, 0x0003);
    image.header.setBits(factorycalField("current_set"), 0, 0);
    image.header.setBits(factorycalField("timestamp"), 0, stamp);
    std::vector<std::uint8_t> bytes;
    ByteWriter writer(bytes);
    writeCalImage(writer, image);
    return bytes;
}

std::vector<std::uint8_t> makeCableDatabase(const std::string& serial)
{
    constexpr std::size_t kRecord = 60;
    std::vector<std::uint8_t> db(kCableDatabaseSize, 0xFF);
    SeededRandom random("cables:" + serial);
    const std::size_t used = 3 + random.next() % 6;
    static const char* kTypes[] = {"CAT5E", "CAT6", "RG59", "RG6", "TWINAX", "PHONE"};
    for (std::size_t r = 0; r < used; ++r) {
        const std::size_t at = r * kRecord;
        std::memset(&db[at], 0, kRecord);
        std::string name = std::string("CUSTOM ") + kTypes[random.next() % 6] + " " +
                           std::to_string(r + 1);
        std::memcpy(&db[at], name.data(), std::min<std::size_t>(name.size(), 23));
        db[at + 24] = static_cast<std::uint8_t>(r + 1);                        // slot
        db[at + 25] = static_cast<std::uint8_t>(1 + random.next() % 4);        // pairs
        auto putFloat = [&](std::size_t offset, double v) {
            float f = static_cast<float>(v);
            std::uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            putWord(db, at + offset, bits);
        };
        putFloat(28, random.uniform(0.60, 0.90));     // velocity factor
        putFloat(32, random.uniform(60.0, 190.0));    // loop ohms per km
        putFloat(36, random.uniform(45.0, 70.0));     // pF per m
        putFloat(40, random.uniform(75.0, 120.0));    // impedance, ohms
    }
    return db;
}

bool makeFactoryState(const UnitIdentity& identity, const std::vector<std::uint8_t>* calibration,
                      UnitState& state, std::string& error)
{
    const FlashRegion region = calibrationRegion(identity.model, identity.kind);
    std::vector<std::uint8_t> tables =
        calibration ? *calibration : makeFactoryCalibration(identity.serial, identity.model);
    if (tables.empty() || tables.size() > region.length) {
        error = "calibration image of " + std::to_string(tables.size()) +
                " bytes does not fit the calibration region of " + std::to_string(region.length) +
                " bytes";
        return false;
    }
    UnitState fresh;
    fresh.identity = identity;
    fresh.flash.write(region.start, tables.data(), tables.size());
    if (identity.kind == UnitKind::Display) {
        std::vector<std::uint8_t> cables = makeCableDatabase(identity.serial);
        fresh.flash.write(cableDatabaseAddress(identity.model, identity.version), cables.data(),
                          cables.size());
    }
    state = std::move(fresh);
    return true;
}
