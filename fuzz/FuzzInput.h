// Support of the fuzz targets: reading the fuzzer's bytes as a script, and
// checks that stop the run (and so report the input) when they fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Ends the run with a message when cond is false; the fuzzer then keeps the
// input that did it.
#define FUZZ_CHECK(cond)                                                                        \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)

namespace fuzz {

// The fuzzer's bytes, taken from the front. Past the end every read gives 0
// bytes (or the value 0), so a script simply ends.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }
    std::size_t left() const { return size - pos; }

    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }

    // Up to n bytes (fewer at the end).
    std::vector<std::uint8_t> take(std::size_t n)
    {
        const std::size_t k = n < left() ? n : left();
        std::vector<std::uint8_t> out(data + pos, data + pos + k);
        pos += k;
        return out;
    }

    std::vector<std::uint8_t> rest() { return take(left()); }
    std::string restText()
    {
        const std::vector<std::uint8_t> r = rest();
        return std::string(r.begin(), r.end());
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

} // namespace fuzz
