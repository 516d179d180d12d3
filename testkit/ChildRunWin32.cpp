// Child programs for the tests through ChildProcess, with their output captured (Windows).
#include "testkit/ChildRun.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <system_error>

#include <windows.h>

#include "process/ChildProcess.h"

namespace testkit {

namespace {

// A file name in the temporary directory that no other run of this or
// another test program uses.
std::filesystem::path captureFile(const char* stream)
{
    static std::atomic<unsigned> counter{0};
    return std::filesystem::temp_directory_path() /
           ("testkit-child-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) +
            "." + stream);
}

// The file's bytes, and the file removed.
std::string takeFile(const std::filesystem::path& path)
{
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return text;
}

} // namespace

bool fileSizeLimitSupported()
{
    return false;
}

// The output streams go to files rather than pipes: with no poll() for two
// pipes at once, files need no reader thread and never fill up.
ChildResult runProgram(const std::string& program, const std::vector<std::string>& argv,
                       const std::filesystem::path& dir, ChildLimits limits)
{
    ChildResult result;
    if (limits.fileSizeLimit >= 0)
        return result;
    const std::filesystem::path outPath = captureFile("out");
    const std::filesystem::path errPath = captureFile("err");
    {
        ChildProcess child;
        child.redirectToFile(ChildProcess::StdOut, outPath.string());
        child.redirectToFile(ChildProcess::StdErr, errPath.string());
        child.searchPath(true);
        if (child.start(program, argv, dir.string()) && child.wait(limits.timeLimitMs))
            result.exitStatus = child.exitStatus();
    } // a child still running is killed here, before its files are read
    result.out = takeFile(outPath);
    result.err = takeFile(errPath);
    return result;
}

} // namespace testkit
