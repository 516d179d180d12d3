// The unit's factory data, made up deterministically from its serial number:
// calibration tables that look like a real instrument's, and a small custom
// cable database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The calibration image a unit of this model keeps in its calibration
// region: for models below 7410 a kestrin image (factory-cal header and two
// sets, 257688 bytes), for the 7410 an old_velmora image (two sets, 122236
// bytes). Set 0 is current; set 1 is an older calibration of the same unit.
// The same serial number always gives the same bytes; different serial
// numbers give different tables.
std::vector<std::uint8_t> makeFactoryCalibration(const std::string& serial, int model);

// A 2400-byte custom cable database: 40 records of 60 bytes, the first few
// used (a name, a velocity factor and per-length constants), the others
// erased (0xFF).
std::vector<std::uint8_t> makeCableDatabase(const std::string& serial);

// A repeatable 64-bit generator (splitmix64) seeded from text.
class SeededRandom {
public:
    explicit SeededRandom(const std::string& seedText);
    std::uint64_t next();
    // Uniform in [low, high).
    double uniform(double low, double high);

private:
    std::uint64_t state;
};

struct UnitState;
struct UnitIdentity;

// A unit as it leaves the factory: erased flash, the calibration image at
// the start of its calibration region (calibration, when given, instead of
// the generated one), and for a Display Handset the cable database where its
// firmware version keeps it. False with a reason when the given calibration
// does not fit the region.
bool makeFactoryState(const UnitIdentity& identity, const std::vector<std::uint8_t>* calibration,
                      UnitState& state, std::string& error);
