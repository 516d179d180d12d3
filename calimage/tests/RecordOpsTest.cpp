// Field copies and reshaping between records of different layouts.
#include <gtest/gtest.h>

#include "calimage/RecordOps.h"

namespace {
using enum FieldType;

constexpr std::array kSmall{field("head", U16), field("row", I16, 3), field("grid", I16, 2, 2, 3),
                            field("axis", F32, 2)};
constexpr std::array kLarge{field("row", I16, 5), field("grid", I16, 2, 4, 5), field("head", U16),
                            field("axis", F32, 2)};

const Layout& small()
{
    static const Layout layout("small", kSmall);
    return layout;
}
const Layout& large()
{
    static const Layout layout("large", kLarge);
    return layout;
}

CalRecord numbered(const Layout& layout)
{
    CalRecord rec(layout);
    std::uint32_t n = 1;
    for (FieldId f = 0; f < layout.fields().size(); ++f) {
        for (std::size_t i = 0; i < layout.fieldSpec(f).count(); ++i) {
            rec.setBits(f, i, n++);
        }
    }
    return rec;
}
} // namespace

TEST(RecordOps, CopyFieldFindsTheSameNameAtAnotherPosition)
{
    const CalRecord from = numbered(small());
    CalRecord to(large());
    copyFields(from, to, {"head", "axis"});
    EXPECT_EQ(to.u16(large().find("head")), 1);
    EXPECT_EQ(to.bits(large().find("axis"), 0), from.bits(small().find("axis"), 0));
    EXPECT_EQ(to.bits(large().find("axis"), 1), from.bits(small().find("axis"), 1));
    EXPECT_EQ(to.bits(large().find("row"), 0), 0u);
}

TEST(RecordOps, ResizeFillsTheLongerDimensionsWithZeroOrTheLastEntry)
{
    const CalRecord from = numbered(small());
    const FieldId fromGrid = small().find("grid");
    const FieldId toGrid = large().find("grid");
    const FieldSpec& src = small().fieldSpec(fromGrid);
    const FieldSpec& dst = large().fieldSpec(toGrid);

    CalRecord zero(large());
    resizeField(from, fromGrid, zero, toGrid, Extend::Zero);
    CalRecord repeat(large());
    resizeField(from, fromGrid, repeat, toGrid, Extend::RepeatLast);
    for (std::size_t a = 0; a < 2; ++a) {
        for (std::size_t b = 0; b < 4; ++b) {
            for (std::size_t c = 0; c < 5; ++c) {
                const bool inside = b < 2 && c < 3;
                const std::uint32_t last = from.bits(fromGrid, src.at(a, std::min<std::size_t>(b, 1),
                                                                      std::min<std::size_t>(c, 2)));
                EXPECT_EQ(zero.bits(toGrid, dst.at(a, b, c)), inside ? last : 0u);
                EXPECT_EQ(repeat.bits(toGrid, dst.at(a, b, c)), last);
            }
        }
    }
}

TEST(RecordOps, ResizeToAShorterFieldDropsTheTail)
{
    const CalRecord from = numbered(large());
    CalRecord to(small());
    resizeField(from, large().find("row"), to, small().find("row"), Extend::Zero);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(to.bits(small().find("row"), i), from.bits(large().find("row"), i));
    }
}
