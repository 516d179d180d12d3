// Generation of the demo firmware set.
#include "sim/fwset/FirmwareSet.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "calimage/BigEndian.h"
#include "calimage/CalImages.h"
#include "sim/unit/FactoryImages.h"
#include "sim/unit/MemoryMap.h"

namespace fs = std::filesystem;

const char* const kSectionKeys[4] = {"7355NE", "7355FE", "7410NE", "7410FE"};

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string versionDigits(const std::string& version)
{
    std::string digits;
    for (char c : version)
        if (c != '.')
            digits += c;
    return digits;
}

// "{a}{b}/" with the entries on lines of their own.
std::string section(const std::string& name, const std::vector<std::string>& entries)
{
    std::string text = name + "\r\n";
    for (const std::string& e : entries)
        text += "    {" + e + "}\r\n";
    return text + "/\r\n\r\n";
}

// A code image: load header, a text line naming it with its version tag,
// then bytes that look like machine code (a repeatable sequence).
std::vector<std::uint8_t> codeImage(const std::string& what, const std::string& key,
                                    const std::string& version, unsigned address, unsigned size)
{
    std::string banner = "Cable tester " + lower(key) + " " + what + " FWVER=" + version + "\r\n";
    std::vector<std::uint8_t> payload(banner.begin(), banner.end());
    std::uint32_t x = 2166136261u;  // FNV-1a of the names: the same bytes on every platform
    for (char c : what + key + version)
        x = (x ^ static_cast<unsigned char>(c)) * 16777619u;
    while (payload.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        payload.push_back(static_cast<std::uint8_t>(x));
    }
    std::vector<std::uint8_t> image;
    ByteWriter out(image);
    writeLoadHeader(out, address, address + size);
    out.bytes(payload);
    return image;
}

std::vector<std::uint8_t> clearingImage(unsigned convertedAddress)
{
    const unsigned start = convertedAddress + kVelmoraLoadSpan;
    std::vector<std::uint8_t> image;
    ByteWriter out(image);
    writeLoadHeader(out, start, start + kClearSpan);
    out.bytes(std::vector<std::uint8_t>(kClearSpan, 0xFF));
    return image;
}

// The backup images of one unit (see FirmwareSetOptions::serial).
std::string writeBackupImages(const fs::path& dir, const FirmwareSetOptions& o);

// A stand-in for the search clip the identification shows: a RIFF "AVI "
// container holding only a note, enough for a file check.
std::vector<std::uint8_t> searchClip()
{
    const std::string note = "unitflash demo set: placeholder for the search animation";
    std::vector<std::uint8_t> clip;
    auto le32 = [&clip](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            clip.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    auto text = [&clip](const std::string& t) { clip.insert(clip.end(), t.begin(), t.end()); };
    text("RIFF");
    le32(static_cast<std::uint32_t>(4 + 8 + note.size()));
    text("AVI JUNK");
    le32(static_cast<std::uint32_t>(note.size()));
    text(note);
    return clip;
}

std::string writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out ? "" : "cannot write " + path.string();
}

std::string writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    return writeFile(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

bool validVersion(const std::string& t)
{
    return t.size() == 5 && std::isdigit(static_cast<unsigned char>(t[0])) && t[1] == '.' &&
           std::isdigit(static_cast<unsigned char>(t[2])) &&
           std::isdigit(static_cast<unsigned char>(t[3])) &&
           std::isdigit(static_cast<unsigned char>(t[4]));
}

std::string kernelFileName(const std::string& key, const std::string& version)
{
    return "KERNEL_" + lower(key) + "_" + versionDigits(version) + ".bin";
}

std::string firmwareFileName(const std::string& key, const std::string& version)
{
    return "app_" + lower(key) + "_" + versionDigits(version) + ".bin";
}

std::string extraFileName(int i, const std::string& key, const std::string& version)
{
    return "extra" + std::to_string(i) + "_" + lower(key) + "_" + versionDigits(version) + ".bin";
}

std::string optionsProblem(const FirmwareSetOptions& o)
{
    for (const std::string* v : {&o.version, &o.version7410, &o.previous, &o.previous7410})
        if (!validVersion(*v))
            return "version \"" + *v + "\" is not of the form d.ddd";
    if (o.extraFiles < 0 || o.extraFiles > kMaxExtraFiles)
        return "extra files must be 0.." + std::to_string(kMaxExtraFiles);
    if (o.revBlanks < 0 || o.revBlanks > 4)
        return "blanks before the version must be 0..4";
    if (!o.serial.empty()) {
        UnitIdentity id;
        id.serial = o.serial;
        id.model = o.serialModel;
        return id.problem();
    }
    return "";
}

std::string controlFileText(const FirmwareSetOptions& o)
{
    // The version a unit below 2.0 reads starts 3 characters after "Rev",
    // the one a unit at 2.0 or above reads 12 characters after it; blanks
    // before a version keep the second one at its place. Nothing before
    // this line may hold "Rev", "{", "/" or a section name.
    const std::string blanks(static_cast<std::size_t>(o.revBlanks), ' ');
    std::string text = "Cable tester handset firmware set\r\n";
    text += "Rev" + blanks + o.version + std::string(4 - blanks.size(), ' ') + blanks + o.version7410 +
            "\r\n\r\n";
    for (const char* keyText : kSectionKeys) {
        const std::string key = keyText;
        const bool newer = key.starts_with("7410");
        const std::string& now = newer ? o.version7410 : o.version;
        const std::string& before = newer ? o.previous7410 : o.previous;
        auto mainList = [&](const std::string& v) {
            std::vector<std::string> list = {kernelFileName(key, v), "REBOOT"};
            if (o.extraFiles > 0)
                list.push_back("NOTHING");
            list.push_back(firmwareFileName(key, v));
            for (int i = 1; i <= o.extraFiles; ++i)
                list.push_back(extraFileName(i, key, v));
            return list;
        };
        const std::vector<std::string> install = mainList(now);
        const std::vector<std::string> back = mainList(before);
        auto calibration = [](const std::string& kernel) {
            return std::vector<std::string>{kernel, "REBOOT", "GETCAL", "CONVERTCAL", "PUTCAL",
                                            "CUSTOMCAB"};
        };
        // Each name comes before every longer name that holds it: the key
        // before REL/DWN/CAL names, REL and DWN before CALREL and CALDWN.
        text += section(key, install);
        text += section("REL" + key, install);
        text += section("DWN" + key, back);
        if (!o.calibrationSections)
            continue;
        text += section("CAL" + key, calibration(install[0]));
        text += section("CALREL" + key, calibration(install[0]));
        text += section("CALDWN" + key, calibration(back[0]));
    }
    return text;
}

std::string writeFirmwareSet(const std::string& dirText, const FirmwareSetOptions& o)
{
    if (std::string problem = optionsProblem(o); !problem.empty())
        return problem;
    const fs::path dir(dirText);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        return "cannot create " + dirText + ": " + ec.message();

    std::string error = writeFile(dir / "control.upd", controlFileText(o));
    for (const char* keyText : kSectionKeys) {
        const std::string key = keyText;
        const bool newer = key.starts_with("7410");
        for (const std::string& v : {newer ? o.version7410 : o.version, newer ? o.previous7410 : o.previous}) {
            if (error.empty())
                error = writeFile(dir / kernelFileName(key, v),
                                  codeImage("kernel", key, v, kKernelAddress, kKernelImageSize));
            if (error.empty())
                error = writeFile(dir / firmwareFileName(key, v),
                                  codeImage("firmware", key, v, kFirmwareAddress, kFirmwareImageSize));
            for (int i = 1; i <= o.extraFiles && error.empty(); ++i)
                error = writeFile(dir / extraFileName(i, key, v),
                                  codeImage("extra" + std::to_string(i), key, v,
                                            kExtraAddress + static_cast<unsigned>(i - 1) * 0x2000,
                                            kExtraImageSize));
        }
    }
    if (error.empty())
        error = writeFile(dir / "SEARCH.AVI", searchClip());
    if (error.empty() && !o.serial.empty())
        error = writeBackupImages(dir, o);
    // Both model families load the converted tables at the kind's address.
    for (const char* name : {"calclear_ne.bin", "calclearb_ne.bin"})
        if (error.empty())
            error = writeFile(dir / name, clearingImage(kVelmoraStartNe));
    for (const char* name : {"calclear_fe.bin", "calclearb_fe.bin"})
        if (error.empty())
            error = writeFile(dir / name, clearingImage(kVelmoraStartFe));

    for (const std::string& tool : o.tools) {
        if (!error.empty() || tool.empty())
            continue;
        fs::path from(tool);
        fs::copy_file(from, dir / from.filename(), fs::copy_options::overwrite_existing, ec);
        if (ec)
            error = "cannot copy " + tool + ": " + ec.message();
    }
    return error;
}

namespace {

std::string writeBackupImages(const fs::path& dir, const FirmwareSetOptions& o)
{
    const UnitKind kind = o.serialDisplay ? UnitKind::Display : UnitKind::Remote;
    const FlashRegion region = calibrationRegion(o.serialModel, kind);
    const std::vector<std::uint8_t> calibration = makeFactoryCalibration(o.serial, o.serialModel);
    std::istringstream source(std::string(calibration.begin(), calibration.end()));
    ByteReader reader(source);
    std::vector<std::uint8_t> backup;
    ByteWriter out(backup);
    writeRegionLoadImage(out, reader, region.start, region.end());
    std::string error = writeFile(dir / (o.serial + ".bin"), backup);

    const std::string& previous = o.serialModel == 7410 ? o.previous7410 : o.previous;
    const std::uint32_t at = cableDatabaseAddress(o.serialModel, std::atof(previous.c_str()));
    std::vector<std::uint8_t> second;
    ByteWriter cables(second);
    writeLoadHeader(cables, at, at + kCableDatabaseSize);
    cables.bytes(makeCableDatabase(o.serial));
    if (error.empty())
        error = writeFile(dir / (o.serial + "c.bin"), second);
    return error;
}

}  // namespace
