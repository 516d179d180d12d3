// The portable part of ChildProcess: stream and environment settings, and the run-to-end helper.
#include "process/ChildProcess.h"

void ChildProcess::redirectToFile(int stream, const std::string& path, bool append)
{
    if (stream < StdIn || stream > StdErr)
        return;
    setup.streams[stream] = {append ? Redirect::Kind::AppendFile : Redirect::Kind::File, path, -1};
}

void ChildProcess::redirectToNull(int stream)
{
    if (stream < StdIn || stream > StdErr)
        return;
    setup.streams[stream] = {Redirect::Kind::Null, {}, -1};
}

void ChildProcess::redirectToDescriptor(int stream, int fd)
{
    if (stream < StdIn || stream > StdErr)
        return;
    setup.streams[stream] = {Redirect::Kind::Descriptor, {}, fd};
}

void ChildProcess::mergeErrorIntoOutput()
{
    setup.streams[StdErr] = {Redirect::Kind::SameAsOutput, {}, -1};
}

void ChildProcess::addEnvironment(const std::vector<std::string>& entries)
{
    setup.environment.insert(setup.environment.end(), entries.begin(), entries.end());
}

void ChildProcess::searchPath(bool search)
{
    setup.searchPath = search;
}

int runChildProgram(const std::string& program, const std::vector<std::string>& args,
                    const std::string& workDir, int timeLimitMs)
{
    ChildProcess child;
    if (!child.start(program, args, workDir))
        return -1;
    if (!child.wait(timeLimitMs)) {
        child.kill();
        return -2;
    }
    return child.exitStatus();
}
