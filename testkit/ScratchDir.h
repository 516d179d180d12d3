// A scratch directory for a test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

namespace testkit {

// A fresh directory below the system's temporary directory, named after
// tag, removed with its contents when the object goes (kept when the
// environment sets UNITFLASH_KEEP_SCRATCH, to look at what a test left).
// path() is empty when the directory could not be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return dir; }
    // The path of name inside the directory.
    std::filesystem::path file(const std::string& name) const { return dir / name; }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
    // The directory's path and a separator, to build names by concatenation.
    std::string prefix() const { return (dir / "").string(); }

private:
    std::filesystem::path dir;
};

} // namespace testkit
