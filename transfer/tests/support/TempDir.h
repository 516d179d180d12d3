// A scratch directory for a test, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

#include <unistd.h>

class TempDir {
public:
    TempDir()
    {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int i = 0;; ++i) {
            std::filesystem::path p = base / ("unitflash-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++) + "-" + std::to_string(i));
            if (std::filesystem::create_directory(p)) {
                path = p.string() + "/";
                break;
            }
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    // The directory's path followed by name.
    std::string operator/(const std::string& name) const { return path + name; }

    std::string path;  // ends with '/'

    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }
};
