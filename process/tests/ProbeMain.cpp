// process_probe: a child for the ChildProcess tests. Writes its arguments and
// working directory to "probe.txt" in its working directory, one per line;
// "--sleep MS" sleeps first, "--exit N" ends with status N, "--env NAME"
// writes "[value]" of that environment variable to standard output and then
// copies standard input there.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    int status = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--sleep")
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[i + 1])));
        else if (option == "--exit")
            status = std::atoi(argv[i + 1]);
        else if (option == "--env") {
            const char* value = std::getenv(argv[i + 1]);
            std::printf("[%s]", value ? value : "");
            for (int c; (c = std::getchar()) != EOF;)
                std::putchar(c);
        }
    }
    std::ofstream out("probe.txt", std::ios::binary);
    out << std::filesystem::current_path().string() << '\n';
    for (int i = 0; i < argc; ++i)
        out << '[' << argv[i] << "]\n";
    return status;
}
