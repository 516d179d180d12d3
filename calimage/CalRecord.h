// One record (a header or a calibration set) held in memory as the bit
// patterns of its elements, read and written through its Layout.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "calimage/BigEndian.h"
#include "calimage/CalLayout.h"

// The elements of one record of a given layout, each kept as its encoded bit
// pattern (an f32 as its 32 bits, an i16 as its 16 bits), so copies are bit
// for bit whatever the value (NaN payloads included). A new record is all
// zero. An out-of-range field or element index is a programming error and
// aborts the process rather than touch a neighbouring field. A record is
// plain data: one writer at a time, readers on any thread once it is built.
class CalRecord {
public:
    explicit CalRecord(const Layout& layout);

    const Layout& layout() const { return *layout_; }

    std::uint32_t bits(FieldId f, std::size_t i = 0) const { return values_[index(f, i)]; }
    // Stores v truncated to the width of the field's type.
    void setBits(FieldId f, std::size_t i, std::uint32_t v);

    std::uint8_t u8(FieldId f, std::size_t i = 0) const { return static_cast<std::uint8_t>(bits(f, i)); }
    std::uint16_t u16(FieldId f, std::size_t i = 0) const { return static_cast<std::uint16_t>(bits(f, i)); }
    std::int16_t i16(FieldId f, std::size_t i = 0) const { return static_cast<std::int16_t>(bits(f, i)); }
    std::uint32_t u32(FieldId f, std::size_t i = 0) const { return bits(f, i); }
    float f32(FieldId f, std::size_t i = 0) const;
    void setI16(FieldId f, std::size_t i, std::int16_t v) { setBits(f, i, static_cast<std::uint16_t>(v)); }
    void setF32(FieldId f, std::size_t i, float v);

    // All elements of a field, in storage order.
    std::span<const std::uint32_t> values(FieldId f) const;
    std::span<std::uint32_t> values(FieldId f);

    friend bool operator==(const CalRecord& a, const CalRecord& b)
    {
        return a.layout_ == b.layout_ && a.values_ == b.values_;
    }

private:
    std::size_t index(FieldId f, std::size_t i) const;

    const Layout* layout_;
    std::vector<std::uint32_t> values_;
};

// Reads fields [first, last) of the record in table order; the fill byte is
// read and dropped. afterField(k), when given, is called after the k-th field
// of the range (counting from 0) so callers can report progress.
void readFields(ByteReader& in, CalRecord& rec, FieldId first, FieldId last,
                const std::function<void(std::size_t)>& afterField = {});
void readRecord(ByteReader& in, CalRecord& rec);

// Writes fields [first, last) in table order; the fill byte is written as 0.
void writeFields(ByteWriter& out, const CalRecord& rec, FieldId first, FieldId last,
                 const std::function<void(std::size_t)>& afterField = {});
void writeRecord(ByteWriter& out, const CalRecord& rec);

// Sum of the bytes, each 0..255, in a 32-bit accumulator that wraps.
std::uint32_t calSum(std::span<const std::uint8_t> bytes);
// calSum of the record's bytes exactly as writeRecord writes them.
std::uint32_t calSum(const CalRecord& set);
