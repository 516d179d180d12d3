// testkit_limited BYTES PROGRAM ARGV0 ARGS...: runs PROGRAM with the given
// argument vector under a file size limit of BYTES, where a write past the
// limit fails with EFBIG instead of killing the program (SIGXFSZ ignored).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: testkit_limited BYTES PROGRAM ARGV0 [ARGS...]\n");
        return 125;
    }
    const auto bytes = static_cast<rlim_t>(std::strtoll(argv[1], nullptr, 10));
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit lim{bytes, bytes};
    if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
        return 126;
    ::execv(argv[2], argv + 3);
    return 127;
}
