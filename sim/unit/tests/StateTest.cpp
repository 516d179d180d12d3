// Factory data, state dump and restore, transcript lines and digests.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "sim/unit/FactoryImages.h"
#include "sim/unit/Sha256.h"
#include "sim/unit/Transcript.h"
#include "sim/unit/UnitState.h"
#include "calimage/CalImages.h"

namespace fs = std::filesystem;

namespace {

fs::path freshDir(const std::string& name)
{
    fs::path dir = fs::temp_directory_path() / ("unitsim-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

CalImage readBack(const std::vector<std::uint8_t>& bytes, int model)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    ByteReader reader(in);
    return model == 7410 ? readOldVelmoraImage(reader, {}) : readKestrinImage(reader, {});
}

TEST(FactoryCalibration, PlausibleRepeatableTablesPerSerial)
{
    for (int model : {7355, 7410}) {
        auto a = makeFactoryCalibration("A01234567", model);
        EXPECT_EQ(a.size(), model == 7410 ? 122236u : 257688u);
        EXPECT_EQ(a, makeFactoryCalibration("A01234567", model));
        EXPECT_NE(a, makeFactoryCalibration("A01234568", model));

        CalImage image = readBack(a, model);
        EXPECT_EQ(image.header.u16(factorycalField("current_set")), 0);
        EXPECT_EQ(image.header.u32(factorycalField("checksum")), calSum(image.sets[0]));
        const CalRecord& set = image.sets[0];
        const Layout& layout = set.layout();
        // Every float is finite and of an instrument's order of magnitude.
        for (FieldId f = 0; f < layout.fields().size(); ++f) {
            if (layout.fieldSpec(f).type != FieldType::F32)
                continue;
            for (std::size_t i = 0; i < layout.fieldSpec(f).count(); ++i) {
                float v = set.f32(f, i);
                EXPECT_TRUE(std::isfinite(v) && std::fabs(v) < 1e5) << layout.fieldSpec(f).name;
            }
        }
        FieldId loRes = layout.find("ate_lo_res");
        EXPECT_NEAR(set.f32(loRes, 0), 10.0f, 0.1f);
        FieldId points = layout.find("rf_points");
        for (std::size_t i = 1; i < layout.fieldSpec(points).count(); ++i)
            EXPECT_GT(set.f32(points, i), set.f32(points, i - 1));
        EXPECT_NE(set, image.sets[1]);
    }
}

TEST(FactoryState, CalibrationAndCableDatabaseWhereTheUnitKeepsThem)
{
    UnitIdentity ne;
    ne.model = 7355;
    ne.version = 1.221;
    UnitState state;
    std::string error;
    ASSERT_TRUE(makeFactoryState(ne, nullptr, state, error)) << error;
    std::vector<std::uint8_t> bytes;
    state.flash.read(0x70000, 257688, bytes);
    EXPECT_EQ(bytes, makeFactoryCalibration(ne.serial, 7355));
    state.flash.read(0xB6220, 2400, bytes);
    EXPECT_EQ(bytes, makeCableDatabase(ne.serial));
    state.flash.read(0x70000 + 257688, 262144 - 257688, bytes);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(262144 - 257688, 0xFF));

    UnitIdentity fe = ne;
    fe.kind = UnitKind::Remote;
    fe.model = 7410;
    std::vector<std::uint8_t> own(1000, 0x42);
    ASSERT_TRUE(makeFactoryState(fe, &own, state, error)) << error;
    state.flash.read(0x50000, 1000, bytes);
    EXPECT_EQ(bytes, own);
    // A Remote Handset has no cable database.
    state.flash.read(0xB0000, 0x50000, bytes);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(0x50000, 0xFF));

    std::vector<std::uint8_t> tooBig(0x20001, 0);
    EXPECT_FALSE(makeFactoryState(fe, &tooBig, state, error));
}

TEST(StateDump, RoundTripAndRefusals)
{
    fs::path dir = freshDir("state");
    UnitState state;
    state.identity.kind = UnitKind::Remote;
    state.identity.model = 7410;
    state.identity.jModel = true;
    state.identity.serial = "ZX9876543";
    state.identity.version = 2.122;
    state.identity.baud = 57600;
    state.uploads = 4;
    std::uint8_t mark[3] = {1, 2, 3};
    state.flash.write(0xFFFFD, mark, 3);
    std::string error;
    ASSERT_TRUE(saveState(dir.string(), state, error)) << error;
    ASSERT_TRUE(stateExists(dir.string()));

    UnitState back;
    ASSERT_TRUE(loadState(dir.string(), back, error)) << error;
    EXPECT_EQ(back.identity.kind, UnitKind::Remote);
    EXPECT_EQ(back.identity.model, 7410);
    EXPECT_TRUE(back.identity.jModel);
    EXPECT_EQ(back.identity.serial, "ZX9876543");
    EXPECT_DOUBLE_EQ(back.identity.version, 2.122);
    EXPECT_EQ(back.identity.baud, 57600);
    EXPECT_EQ(back.uploads, 4);
    EXPECT_EQ(back.flash.bytes(), state.flash.bytes());

    std::ofstream(dir / "flash.bin", std::ios::binary | std::ios::trunc) << "short";
    EXPECT_FALSE(loadState(dir.string(), back, error));
    ASSERT_TRUE(saveState(dir.string(), state, error));
    std::ofstream(dir / "identity.json", std::ios::trunc) << R"({"kind":"xe","model":7410})";
    EXPECT_FALSE(loadState(dir.string(), back, error));
    std::ofstream(dir / "identity.json", std::ios::trunc) << "not json";
    EXPECT_FALSE(loadState(dir.string(), back, error));
    EXPECT_FALSE(loadState((dir / "missing").string(), back, error));
    // A refused load leaves the state as it was.
    EXPECT_EQ(back.identity.serial, "ZX9876543");
    fs::remove_all(dir);
}

class StepClock : public Clock {
public:
    std::uint32_t tickMs() override { return now += 5; }
    std::uint32_t now = 1000;
};

TEST(TranscriptLines, OneJsonObjectPerEvent)
{
    fs::path dir = freshDir("transcript");
    StepClock clock;
    Transcript transcript(clock);
    ASSERT_TRUE(transcript.open((dir / "t.jsonl").string()));
    transcript.record("command", {{"text", "idn? k"}});
    std::vector<std::uint8_t> abc = {'a', 'b', 'c'};
    transcript.record("transfer", {{"direction", "upload"}, {"size", 3}, {"sha256", sha256Hex(abc)}});
    std::ifstream in(dir / "t.jsonl");
    std::string line;
    std::vector<nlohmann::json> events;
    while (std::getline(in, line))
        events.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["event"], "command");
    EXPECT_EQ(events[0]["text"], "idn? k");
    EXPECT_LT(events[0]["ms"].get<int>(), events[1]["ms"].get<int>());
    EXPECT_EQ(events[1]["sha256"],
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    fs::remove_all(dir);
}

}  // namespace
