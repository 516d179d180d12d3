// header: the firmware set's image tool. "+ SRC DST STARTHEX ENDHEX" writes
// DST as a LoadHeader for [START, END) followed by SRC's bytes for that
// range (SRC's first byte at START, missing bytes 0xFF); "c SRC DST" copies
// a cable database unchanged. Exit status 1 when DST was written whole, 0
// for bad arguments (with the usage text) or any failure; DST is replaced
// only by a complete file.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "calimage/CalImages.h"
#include "calimage/FileReplacer.h"
#include "calimage/StandardStreams.h"
#include "tools/header/HeaderArgs.h"

int main(int argc, char** argv)
{
    writeStandardStreamsAsBytes();
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    const auto command = parseHeaderArgs(args);
    if (!command) {
        std::fputs(kHeaderUsage, stderr);
        return 0;
    }
    std::ifstream in(command->source, std::ios::binary);
    if (!in.is_open()) {
        std::fprintf(stderr, "header: cannot open %s\n", command->source.c_str());
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    if (command->kind == HeaderCommand::Kind::Copy) {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        ByteReader reader(in);
        ByteWriter writer(bytes);
        writeRegionLoadImage(writer, reader, command->start, command->end);
    }
    if (!replaceFile(command->target, bytes)) {
        std::fprintf(stderr, "header: cannot write %s\n", command->target.c_str());
        return 0;
    }
    return 1;
}
