// Field copies between records of different layouts, used by the conversions.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>

#include "calimage/CalRecord.h"

// Copies field `name` bit for bit from `from` to the field of the same name in
// `to`. Both must exist with the same type and shape; anything else is a
// programming error and aborts.
void copyField(const CalRecord& from, CalRecord& to, std::string_view name);
void copyFields(const CalRecord& from, CalRecord& to, std::initializer_list<std::string_view> names);
// Copies every field named in a table (such as the LF part) by name.
void copyFields(const CalRecord& from, CalRecord& to, std::span<const FieldSpec> names);

// What resizeField puts where the target is larger than the source along a
// dimension.
enum class Extend { Zero, RepeatLast };

// Copies field `fromId` of `from` into field `toId` of `to`, which has the
// same type and rank but may differ in each dimension. Element [a][b][c] of
// the target takes the source element with the same indices; along a
// dimension where the target is longer, the extra entries stay zero
// (Extend::Zero) or repeat the source's last entry of that dimension
// (Extend::RepeatLast); where the target is shorter, the tail is dropped.
void resizeField(const CalRecord& from, FieldId fromId, CalRecord& to, FieldId toId, Extend extend);
