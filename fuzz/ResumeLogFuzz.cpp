// Fuzz target: the resume log "logfile.LOG" as a later run reads it: the
// unit, the version and the finished steps, from arbitrary file contents.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/ResumeLog.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/unitflash-fuzz-resume-" + std::to_string(getpid()) + ".LOG";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
    std::fclose(f);

    ResumeLog log(path);
    FUZZ_CHECK(log.load());
    FUZZ_CHECK(log.length() == size);
    const double version = log.recordedVersion();
    FUZZ_CHECK(std::isfinite(version));
    if (size < ResumeLog::kHeaderSize)
        FUZZ_CHECK(version == 0);
    if (log.sameUnit("123456789"))
        FUZZ_CHECK(size >= 9 && std::string(reinterpret_cast<const char*>(data), 9) == "123456789");
    // Whole records only: record i exists exactly when all 8 of its bytes do.
    int records = 0;
    while (!log.record(records).empty()) {
        FUZZ_CHECK(log.record(records).size() == 6);
        FUZZ_CHECK(log.hasRecord(log.record(records)));
        ++records;
    }
    const std::size_t body = size > ResumeLog::kHeaderSize ? size - ResumeLog::kHeaderSize : 0;
    FUZZ_CHECK(static_cast<std::size_t>(records) == body / ResumeLog::kRecordSize);
    FUZZ_CHECK(log.record(-1).empty());
    std::remove(path.c_str());
    return 0;
}
