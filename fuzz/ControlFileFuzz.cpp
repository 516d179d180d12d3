// Fuzz target: "control.upd" as the engine reads it: the version field,
// section lookup and the entries of a section. At most 9 entries, each a
// piece of the text, and nothing read past the text's end.
#include <cmath>

#include "engine/ControlFile.h"
#include "engine/UpgradeState.h"
#include "fuzz/FuzzInput.h"

namespace {

void checkSection(const std::string& text, int start)
{
    StepList list;
    int errorFlag = 0;
    const int count = parseSection(text, start, list, errorFlag);
    FUZZ_CHECK(count >= 0 && count <= StepList::kMaxEntries);
    FUZZ_CHECK(errorFlag == 0 || errorFlag == 1);
    for (int i = 0; i < StepList::kSlots; ++i) {
        FUZZ_CHECK(list.present(i) == (i < count ? 1 : 0));
        if (i < count) {
            // An entry is the text between a "{" and the next "}".
            const std::string entry = list.name(i);
            FUZZ_CHECK(text.find("{" + entry + "}") != std::string::npos);
        }
    }
    // A section that is not closed by "/" always raises the flag.
    if (text.find('/', start < 0 ? text.size() : static_cast<std::size_t>(start)) == std::string::npos)
        FUZZ_CHECK(errorFlag == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const std::string text = in.restText();

    double version = -1;
    const double unitVersion = setup & 1 ? 2.05 : 1.221;
    const bool found = readControlVersion(text, unitVersion, version);
    FUZZ_CHECK(found == (text.find("Rev") != std::string::npos));
    if (found)
        FUZZ_CHECK(std::isfinite(version));

    for (const char* name : {"7355NE", "REL7355NE", "CAL7355NE", "DWN7410FE"}) {
        const int at = findSection(text, name);
        FUZZ_CHECK(at == -1 || (at >= 0 && text.compare(static_cast<std::size_t>(at), std::string(name).size(), name) == 0));
        if (at > 0)
            checkSection(text, at);
    }
    // Any start, also at or beyond the end of the text.
    checkSection(text, static_cast<int>(setup % (text.size() + 2)));
    return 0;
}
