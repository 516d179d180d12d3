// Scratch directories below the system's temporary directory.
#include "testkit/ScratchDir.h"

#include <atomic>
#include <cstdlib>
#include <random>

namespace testkit {

ScratchDir::ScratchDir(const std::string& tag)
{
    // Unique across the test processes ctest runs side by side.
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            base / ("unitflash-" + tag + "-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            dir = candidate;
            return;
        }
    }
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    if (!dir.empty() && std::getenv("UNITFLASH_KEEP_SCRATCH") == nullptr)
        std::filesystem::remove_all(dir, ec);
}

} // namespace testkit
