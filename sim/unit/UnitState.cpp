// Dump and restore of the unit's state directory.
#include "sim/unit/UnitState.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

const char* kFlashFile = "flash.bin";
const char* kIdentityFile = "identity.json";

bool writeAtomically(const fs::path& path, const std::string& bytes, std::string& error)
{
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        error = "cannot rename " + temporary.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool stateExists(const std::string& dir)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(dir) / kFlashFile, ec) &&
           fs::is_regular_file(fs::path(dir) / kIdentityFile, ec);
}

bool loadState(const std::string& dir, UnitState& state, std::string& error)
{
    std::ifstream flashIn(fs::path(dir) / kFlashFile, std::ios::binary);
    std::ifstream identityIn(fs::path(dir) / kIdentityFile);
    if (!flashIn || !identityIn) {
        error = "state directory " + dir + " lacks flash.bin or identity.json";
        return false;
    }
    std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(flashIn)),
                                    std::istreambuf_iterator<char>());
    nlohmann::json j = nlohmann::json::parse(identityIn, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "identity.json is not a JSON object";
        return false;
    }
    UnitState loaded;
    if (!loaded.flash.assign(image)) {
        error = "flash.bin is not 1 MiB long";
        return false;
    }
    try {
        if (!parseUnitKind(j.at("kind").get<std::string>(), loaded.identity.kind)) {
            error = "identity.json: kind must be \"ne\" or \"fe\"";
            return false;
        }
        loaded.identity.model = j.at("model").get<int>();
        loaded.identity.jModel = j.value("j_model", false);
        loaded.identity.serial = j.at("serial").get<std::string>();
        loaded.identity.version = leadingNumber(j.at("version").get<std::string>());
        loaded.identity.baud = j.at("baud").get<int>();
        loaded.identity.plainVersion = j.value("plain_version", false);
        loaded.uploads = j.value("uploads", 0);
    } catch (const nlohmann::json::exception& e) {
        error = std::string("identity.json: ") + e.what();
        return false;
    }
    std::string problem = loaded.identity.problem();
    if (!problem.empty()) {
        error = "identity.json: " + problem;
        return false;
    }
    state = std::move(loaded);
    return true;
}

bool saveState(const std::string& dir, const UnitState& state, std::string& error)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    const UnitIdentity& id = state.identity;
    nlohmann::json j = {
        {"kind", id.kindMarker()},  {"model", id.model},
        {"j_model", id.jModel},     {"serial", id.serial},
        {"version", id.versionText()}, {"baud", id.baud},
        {"plain_version", id.plainVersion}, {"uploads", state.uploads},
    };
    const auto& image = state.flash.bytes();
    return writeAtomically(fs::path(dir) / kFlashFile, std::string(image.begin(), image.end()),
                           error) &&
           writeAtomically(fs::path(dir) / kIdentityFile, j.dump(2) + "\n", error);
}
