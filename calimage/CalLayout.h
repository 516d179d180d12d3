// Record layouts described once, as data: an ordered table of fields (name,
// type, shape) from which reading, writing and every offset are derived.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Encoded element types. Fill is one byte that is read and dropped and
// written as 0; it holds no value in memory.
enum class FieldType : std::uint8_t { U8, U16, I16, U32, F32, Fill };

constexpr std::size_t fieldTypeSize(FieldType type)
{
    switch (type) {
    case FieldType::U16:
    case FieldType::I16:
        return 2;
    case FieldType::U32:
    case FieldType::F32:
        return 4;
    case FieldType::U8:
    case FieldType::Fill:
        break;
    }
    return 1;
}

// Index of a field in its layout's table.
using FieldId = std::size_t;
inline constexpr FieldId kNoField = static_cast<FieldId>(-1);

// One field: a name, an element type and a shape of up to three dimensions,
// outermost first, unused leading dimensions 1. Elements are stored
// row-major, last index fastest, with no padding between fields.
struct FieldSpec {
    std::string_view name;
    FieldType type = FieldType::U8;
    std::array<std::uint32_t, 3> dims{1, 1, 1};

    constexpr std::size_t count() const
    {
        return type == FieldType::Fill ? 0 : std::size_t{dims[0]} * dims[1] * dims[2];
    }
    constexpr std::size_t byteSize() const
    {
        return type == FieldType::Fill ? 1 : count() * fieldTypeSize(type);
    }
    // Flat element index of [a][b][c]; of [b][c] (the two inner dimensions);
    // of [c].
    constexpr std::size_t at(std::size_t a, std::size_t b, std::size_t c) const
    {
        return (a * dims[1] + b) * dims[2] + c;
    }
    constexpr std::size_t at(std::size_t b, std::size_t c) const { return b * dims[2] + c; }
};

// Table entries: field("x", T) is a scalar; field("x", T, n) a row of n;
// field("x", T, r, n) r rows of n; field("x", T, k, r, n) k blocks of r rows.
constexpr FieldSpec field(std::string_view name, FieldType type, std::uint32_t d0 = 1,
                          std::uint32_t d1 = 0, std::uint32_t d2 = 0)
{
    if (d1 == 0) {
        return {name, type, {1, 1, d0}};
    }
    if (d2 == 0) {
        return {name, type, {1, d0, d1}};
    }
    return {name, type, {d0, d1, d2}};
}

// Joins field tables end to end, in order.
template <std::size_t... N>
constexpr auto joinFields(const std::array<FieldSpec, N>&... parts)
{
    std::array<FieldSpec, (N + ...)> out{};
    std::size_t i = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + static_cast<std::ptrdiff_t>(i)),
      i += parts.size()),
     ...);
    return out;
}

// Index of the field called `name`, or kNoField.
constexpr FieldId findField(std::span<const FieldSpec> fields, std::string_view name)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == name) {
            return i;
        }
    }
    return kNoField;
}

// Encoded size of a whole table in bytes.
constexpr std::size_t layoutByteSize(std::span<const FieldSpec> fields)
{
    std::size_t size = 0;
    for (const FieldSpec& f : fields) {
        size += f.byteSize();
    }
    return size;
}

// A field table with its derived offsets. Built once per layout (see
// CalLayouts.h) and immutable afterwards, so it may be shared by threads.
class Layout {
public:
    Layout(std::string_view name, std::span<const FieldSpec> fields);

    std::string_view name() const { return name_; }
    std::span<const FieldSpec> fields() const { return fields_; }
    const FieldSpec& fieldSpec(FieldId id) const { return fields_[id]; }
    // Byte offset of the field from the start of the record.
    std::size_t offsetOf(FieldId id) const { return offsets_[id]; }
    // Position of the field's first element among a record's stored values.
    std::size_t firstValue(FieldId id) const { return firstValues_[id]; }
    std::size_t byteSize() const { return offsets_.back(); }
    std::size_t valueCount() const { return firstValues_.back(); }
    // kNoField when the layout has no such field.
    FieldId find(std::string_view fieldName) const { return findField(fields_, fieldName); }

private:
    std::string_view name_;
    std::span<const FieldSpec> fields_;
    std::vector<std::size_t> offsets_;      // one per field, plus the end
    std::vector<std::size_t> firstValues_;  // one per field, plus the end
};
