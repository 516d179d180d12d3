// Field copies between records of different layouts.
#include "calimage/RecordOps.h"

#include <algorithm>
#include <cstdlib>

namespace {
FieldId requireByName(const Layout& layout, std::string_view name)
{
    const FieldId id = layout.find(name);
    if (id == kNoField) {
        std::abort();
    }
    return id;
}
} // namespace

void copyField(const CalRecord& from, CalRecord& to, std::string_view name)
{
    const FieldId src = requireByName(from.layout(), name);
    const FieldId dst = requireByName(to.layout(), name);
    const FieldSpec& a = from.layout().fieldSpec(src);
    const FieldSpec& b = to.layout().fieldSpec(dst);
    if (a.type != b.type || a.dims != b.dims) {
        std::abort();
    }
    const auto in = from.values(src);
    std::copy(in.begin(), in.end(), to.values(dst).begin());
}

void copyFields(const CalRecord& from, CalRecord& to, std::initializer_list<std::string_view> names)
{
    for (const std::string_view name : names) {
        copyField(from, to, name);
    }
}

void copyFields(const CalRecord& from, CalRecord& to, std::span<const FieldSpec> names)
{
    for (const FieldSpec& f : names) {
        copyField(from, to, f.name);
    }
}

void resizeField(const CalRecord& from, FieldId fromId, CalRecord& to, FieldId toId, Extend extend)
{
    const FieldSpec& src = from.layout().fieldSpec(fromId);
    const FieldSpec& dst = to.layout().fieldSpec(toId);
    if (src.type != dst.type) {
        std::abort();
    }
    for (std::size_t a = 0; a < dst.dims[0]; ++a) {
        for (std::size_t b = 0; b < dst.dims[1]; ++b) {
            for (std::size_t c = 0; c < dst.dims[2]; ++c) {
                const std::size_t idx[3] = {a, b, c};
                std::size_t srcIdx[3];
                bool inSource = true;
                for (int d = 0; d < 3; ++d) {
                    srcIdx[d] = idx[d];
                    if (idx[d] >= src.dims[d]) {
                        inSource = extend == Extend::RepeatLast;
                        srcIdx[d] = src.dims[d] - 1;
                    }
                }
                if (inSource) {
                    to.setBits(toId, dst.at(a, b, c),
                               from.bits(fromId, src.at(srcIdx[0], srcIdx[1], srcIdx[2])));
                }
            }
        }
    }
}
