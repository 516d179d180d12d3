// Reading and rewriting the resume log.
#include "engine/ResumeLog.h"

#include <cstdio>
#include <span>

#include "calimage/FileReplacer.h"
#include "engine/VersionText.h"

ResumeLog::ResumeLog(std::string path_) : path(std::move(path_)) {}

bool ResumeLog::load()
{
    bytes.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return true;
    char chunk[512];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.append(chunk, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

std::string ResumeLog::serialField(const std::string& serial)
{
    std::string field = serial.substr(0, 9);
    field.resize(9, ' ');
    return field;
}

std::string ResumeLog::versionField(double version)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", version);
    return std::string(text).substr(0, 5);
}

bool ResumeLog::sameUnit(const std::string& serial) const
{
    return bytes.size() >= 9 && bytes.compare(0, 9, serialField(serial)) == 0;
}

std::string ResumeLog::serial() const
{
    if (bytes.size() < 9)
        return {};
    std::string field = bytes.substr(0, 9);
    field.erase(field.find_last_not_of(' ') + 1);
    return field;
}

double ResumeLog::recordedVersion() const
{
    if (bytes.size() < kHeaderSize)
        return 0;
    return versionAt(bytes, 11);
}

std::string ResumeLog::record(int i) const
{
    const std::size_t at = kHeaderSize + kRecordSize * static_cast<std::size_t>(i);
    if (i < 0 || bytes.size() < at + kRecordSize)
        return {};
    return bytes.substr(at, 6);
}

bool ResumeLog::hasRecord(const std::string& keyword) const
{
    for (int i = 0; !record(i).empty(); ++i)
        if (record(i) == keyword)
            return true;
    return false;
}

bool ResumeLog::store(const std::string& content)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(content.data());
    if (!replaceFile(path, std::span<const std::uint8_t>(data, content.size())))
        return false;
    bytes = content;
    return true;
}

bool ResumeLog::clear()
{
    return store(std::string());
}

bool ResumeLog::writeHeader(const std::string& serial, double version)
{
    return store(serialField(serial) + "\r\n" + versionField(version) + "\r\n");
}

bool ResumeLog::append(const std::string& keyword)
{
    return store(bytes + keyword.substr(0, 6) + "\r\n");
}

bool ResumeLog::rewrite()
{
    return store(bytes);
}
