// Load-header placement and version tags of received files.
#include "sim/unit/UploadImage.h"

#include <algorithm>
#include <cstring>

#include "sim/unit/FlashMemory.h"
#include "sim/unit/UnitIdentity.h"

namespace {

std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

}  // namespace

UploadPlacement placeUpload(const std::vector<std::uint8_t>& file)
{
    UploadPlacement placement;
    if (file.size() < kLoadHeaderSize || std::memcmp(file.data(), "ESTFBINR", 8) != 0)
        return placement;
    placement.start = wordAt(file, 8);
    placement.end = wordAt(file, 12);
    placement.kind = UploadPlacement::Refused;
    if (wordAt(file, 24) != placement.start || wordAt(file, 28) != placement.end)
        placement.reason = "address pairs differ";
    else if (placement.end < placement.start)
        placement.reason = "end before start";
    else if (!FlashMemory::contains(placement.start, placement.end - placement.start))
        placement.reason = "range outside flash";
    if (!placement.reason.empty())
        return placement;
    placement.kind = UploadPlacement::Placed;
    placement.count = static_cast<std::uint32_t>(
        std::min<std::size_t>(placement.end - placement.start, file.size() - kLoadHeaderSize));
    return placement;
}

double findVersionTag(const std::vector<std::uint8_t>& file)
{
    const std::size_t tagLength = std::strlen(kVersionTag);
    auto at = std::search(file.begin(), file.end(), kVersionTag, kVersionTag + tagLength);
    if (at == file.end())
        return 0.0;
    auto digits = at + static_cast<std::ptrdiff_t>(tagLength);
    std::size_t room = static_cast<std::size_t>(file.end() - digits);
    // Six characters, as the console's own version field.
    std::string text(digits, digits + static_cast<std::ptrdiff_t>(std::min<std::size_t>(6, room)));
    double version = leadingNumber(text);
    return version > 0.0 ? version : 0.0;
}
