// Fuzz target: the header tool's command line. A command is accepted only
// in one of its two forms, with a range that is not empty, not reversed and
// at most kMaxRegionBytes long, from addresses of 1 to 8 hex digits.
#include <cctype>

#include "fuzz/FuzzInput.h"
#include "tools/header/HeaderArgs.h"

namespace {

bool isHexWord(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::string text = in.restText();
    // Words are separated by NUL bytes, as the program receives them.
    std::vector<std::string_view> args;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\0') {
            args.emplace_back(text.data() + from, i - from);
            from = i + 1;
        }
    }
    for (std::string_view word : args) {
        const auto value = parseHexAddress(word);
        FUZZ_CHECK(value.has_value() == isHexWord(word));
        if (value)
            FUZZ_CHECK(*value == std::stoul(std::string(word), nullptr, 16));
    }
    const auto command = parseHeaderArgs(args);
    if (!command)
        return 0;
    if (command->kind == HeaderCommand::Kind::Copy) {
        FUZZ_CHECK(args.size() == 3 && args[0] == "c");
        FUZZ_CHECK(command->source == args[1] && command->target == args[2]);
    } else {
        FUZZ_CHECK(args.size() == 5 && args[0] == "+");
        FUZZ_CHECK(command->start < command->end);
        FUZZ_CHECK(command->end - command->start <= kMaxRegionBytes);
        FUZZ_CHECK(command->source == args[1] && command->target == args[2]);
    }
    return 0;
}
