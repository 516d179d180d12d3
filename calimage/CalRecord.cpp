// In-memory records and their single-pass reading and writing.
#include "calimage/CalRecord.h"

#include <bit>
#include <cstdlib>

namespace {
std::uint32_t typeMask(FieldType type)
{
    switch (fieldTypeSize(type)) {
    case 1:
        return 0xFFu;
    case 2:
        return 0xFFFFu;
    default:
        return 0xFFFFFFFFu;
    }
}
} // namespace

CalRecord::CalRecord(const Layout& layout) : layout_(&layout), values_(layout.valueCount(), 0) {}

std::size_t CalRecord::index(FieldId f, std::size_t i) const
{
    if (f >= layout_->fields().size() || i >= layout_->fieldSpec(f).count()) {
        std::abort();
    }
    return layout_->firstValue(f) + i;
}

void CalRecord::setBits(FieldId f, std::size_t i, std::uint32_t v)
{
    values_[index(f, i)] = v & typeMask(layout_->fieldSpec(f).type);
}

float CalRecord::f32(FieldId f, std::size_t i) const
{
    return std::bit_cast<float>(bits(f, i));
}

void CalRecord::setF32(FieldId f, std::size_t i, float v)
{
    setBits(f, i, std::bit_cast<std::uint32_t>(v));
}

std::span<const std::uint32_t> CalRecord::values(FieldId f) const
{
    const std::size_t n = layout_->fieldSpec(f).count();
    return std::span<const std::uint32_t>(values_).subspan(n == 0 ? 0 : index(f, 0), n);
}

std::span<std::uint32_t> CalRecord::values(FieldId f)
{
    const std::size_t n = layout_->fieldSpec(f).count();
    return std::span<std::uint32_t>(values_).subspan(n == 0 ? 0 : index(f, 0), n);
}

void readFields(ByteReader& in, CalRecord& rec, FieldId first, FieldId last,
                const std::function<void(std::size_t)>& afterField)
{
    for (FieldId f = first; f < last; ++f) {
        const FieldType type = rec.layout().fieldSpec(f).type;
        if (type == FieldType::Fill) {
            in.u8();
        }
        // f32 elements are taken as their 32 raw bits: a float round trip
        // could quieten a signalling NaN and change a stored pattern.
        for (std::uint32_t& v : rec.values(f)) {
            switch (type) {
            case FieldType::U8:
                v = in.u8();
                break;
            case FieldType::U16:
                v = in.u16();
                break;
            case FieldType::I16:
                v = static_cast<std::uint16_t>(in.i16());
                break;
            case FieldType::U32:
            case FieldType::F32:
                v = in.u32();
                break;
            case FieldType::Fill:
                break;
            }
        }
        if (afterField) {
            afterField(f - first);
        }
    }
}

void readRecord(ByteReader& in, CalRecord& rec)
{
    readFields(in, rec, 0, rec.layout().fields().size());
}

void writeFields(ByteWriter& out, const CalRecord& rec, FieldId first, FieldId last,
                 const std::function<void(std::size_t)>& afterField)
{
    for (FieldId f = first; f < last; ++f) {
        const FieldType type = rec.layout().fieldSpec(f).type;
        if (type == FieldType::Fill) {
            out.u8(0);
        }
        for (const std::uint32_t v : rec.values(f)) {
            switch (fieldTypeSize(type)) {
            case 1:
                out.u8(static_cast<std::uint8_t>(v));
                break;
            case 2:
                out.u16(static_cast<std::uint16_t>(v));
                break;
            default:
                out.u32(v);
                break;
            }
        }
        if (afterField) {
            afterField(f - first);
        }
    }
}

void writeRecord(ByteWriter& out, const CalRecord& rec)
{
    writeFields(out, rec, 0, rec.layout().fields().size());
}

std::uint32_t calSum(std::span<const std::uint8_t> bytes)
{
    std::uint32_t sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return sum;
}

std::uint32_t calSum(const CalRecord& set)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(set.layout().byteSize());
    ByteWriter out(bytes);
    writeRecord(out, set);
    return calSum(bytes);
}
