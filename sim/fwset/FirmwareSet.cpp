// Generation of the demo firmware set.
#include "sim/fwset/FirmwareSet.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "calimage/BigEndian.h"
#include "calimage/CalImages.h"

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

std::string controlFileText(const FirmwareSetOptions& o)
{
    // The version a unit below 2.0 reads starts 3 characters after "Rev",
    // the one a unit at 2.0 or above reads 12 characters after it. Nothing
    // before this line may hold "Rev", "{", "/" or a section name.
    std::string text = "Cable tester handset firmware set\r\n";
    text += "Rev" + o.version + "    " + o.version7410 + "\r\n\r\n";
    for (const char* keyText : kSectionKeys) {
        const std::string key = keyText;
        const bool newer = key.starts_with("7410");
        const std::string& now = newer ? o.version7410 : o.version;
        const std::string& before = newer ? o.previous7410 : o.previous;
        const std::vector<std::string> install = {kernelFileName(key, now), "REBOOT",
                                                  firmwareFileName(key, now)};
        const std::vector<std::string> back = {kernelFileName(key, before), "REBOOT",
                                               firmwareFileName(key, before)};
        auto calibration = [](const std::string& kernel) {
            return std::vector<std::string>{kernel, "REBOOT", "GETCAL", "CONVERTCAL", "PUTCAL",
                                            "CUSTOMCAB"};
        };
        // Each name comes before every longer name that holds it: the key
        // before REL/DWN/CAL names, REL and DWN before CALREL and CALDWN.
        text += section(key, install);
        text += section("REL" + key, install);
        text += section("DWN" + key, back);
        text += section("CAL" + key, calibration(install[0]));
        text += section("CALREL" + key, calibration(install[0]));
        text += section("CALDWN" + key, calibration(back[0]));
    }
    return text;
}

std::string writeFirmwareSet(const std::string& dirText, const FirmwareSetOptions& o)
{
    for (const std::string* v : {&o.version, &o.version7410, &o.previous, &o.previous7410})
        if (!validVersion(*v))
            return "version \"" + *v + "\" is not of the form d.ddd";
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
                                  codeImage("kernel", key, v, kKernelAddress, 12 * 1024));
            if (error.empty())
                error = writeFile(dir / firmwareFileName(key, v),
                                  codeImage("firmware", key, v, kFirmwareAddress, 40 * 1024));
        }
    }
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
