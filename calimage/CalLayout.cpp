// Derives the offsets of a layout from its field table.
#include "calimage/CalLayout.h"

Layout::Layout(std::string_view name, std::span<const FieldSpec> fields)
    : name_(name), fields_(fields)
{
    offsets_.reserve(fields.size() + 1);
    firstValues_.reserve(fields.size() + 1);
    std::size_t offset = 0;
    std::size_t value = 0;
    for (const FieldSpec& f : fields) {
        offsets_.push_back(offset);
        firstValues_.push_back(value);
        offset += f.byteSize();
        value += f.count();
    }
    offsets_.push_back(offset);
    firstValues_.push_back(value);
}
