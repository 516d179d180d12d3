// "logfile.LOG": the unit an interrupted calibration carry-over worked on,
// its version before the upgrade, and the steps it finished.
#pragma once

#include <string>

constexpr const char* kResumeLogName = "logfile.LOG";

// Layout: 9 characters of serial number, CR LF, 5 characters of version,
// CR LF (18 bytes of header), then one record of 6 keyword characters and
// CR LF per finished step. Every change rewrites the whole file through a
// temporary file, so an interrupted write leaves the previous log intact.
// Owner's thread only.
class ResumeLog {
public:
    static constexpr std::size_t kHeaderSize = 18;
    static constexpr std::size_t kRecordSize = 8;

    explicit ResumeLog(std::string path);

    // Reads the file; a missing file reads as empty. False when it exists
    // but cannot be read.
    bool load();
    std::size_t length() const { return bytes.size(); }
    // True when the log's first 9 characters are serial's (blank-padded).
    bool sameUnit(const std::string& serial) const;
    // The serial number in the header without its padding; "" when the
    // field is blank (a unit without one) or the log is shorter.
    std::string serial() const;
    // The version in the header, read as a leading number; 0 when the log
    // is shorter than its header.
    double recordedVersion() const;
    // The 6-character keyword of record i (from 0), or "" when the log does
    // not hold it whole.
    std::string record(int i) const;
    bool hasRecord(const std::string& keyword) const;

    // Each returns false when the file could not be written; the file then
    // stays as it was.
    bool clear();
    bool writeHeader(const std::string& serial, double version);
    bool append(const std::string& keyword);
    // Writes the log back as it is: proves that it can be written.
    bool rewrite();

    // The 9-character serial field and the 5-character version field.
    static std::string serialField(const std::string& serial);
    static std::string versionField(double version);

private:
    bool store(const std::string& content);

    std::string path;
    std::string bytes;
};
