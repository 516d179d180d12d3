// The fixture of the file-engine tests: the platform's engine over a
// scratch directory, and the walk of a name list as relative paths.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "testkit/Files.h"
#include "testkit/ScratchDir.h"
#include "transfer/FileEngine.h"

class FileEngineTest : public ::testing::Test {
protected:
    void makeFile(const std::string& name, std::size_t size = 1)
    {
        std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
        ASSERT_TRUE(testkit::writeBytes(dir / name, std::vector<std::uint8_t>(size, 'x')));
    }
    void makeDir(const std::string& name) { std::filesystem::create_directories(dir / name); }

    // Every path the walk yields, with the temporary directory cut off.
    std::vector<std::string> walk(const std::string& list, int recurse = 0)
    {
        std::vector<std::string> out;
        engine->start(list.c_str(), recurse);
        while (engine->nextFile() == 1) {
            std::string p = engine->nameBuffer();
            out.push_back(p.rfind(dir.prefix(), 0) == 0 ? p.substr(dir.prefix().size()) : p);
        }
        return out;
    }

    testkit::ScratchDir dir;
    std::unique_ptr<FileEngine> engine = createFileEngine();
};

using Paths = std::vector<std::string>;

// The paths with every '\\' turned into '/'.
inline Paths slashed(Paths paths)
{
    for (std::string& p : paths)
        for (char& c : p)
            if (c == '\\')
                c = '/';
    return paths;
}
