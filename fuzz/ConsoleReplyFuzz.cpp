// Fuzz target: the unit's console replies as the engine reads them: the
// version in an "idn? k" reply, the kind in a prompt reply, and the serial
// number and model of a "getuid" reply.
#include <cmath>

#include "engine/IdentityReply.h"
#include "engine/UpgradeState.h"
#include "engine/VersionText.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::string reply = in.restText();

    double version = -1;
    const bool found = parseVersion(reply, version);
    FUZZ_CHECK(found == (reply.find('(') != std::string::npos));
    if (found) {
        // A version is a plain number: the gates compare it with < and >,
        // which a NaN or an infinity would slip through.
        FUZZ_CHECK(std::isfinite(version));
    } else {
        FUZZ_CHECK(version == -1);
    }
    FUZZ_CHECK(std::isfinite(leadingDecimal(reply)));

    const int kind = parseUnitKind(reply);
    FUZZ_CHECK(kind == UNIT_UNKNOWN || kind == UNIT_DISPLAY || kind == UNIT_REMOTE);
    FUZZ_CHECK((kind == UNIT_DISPLAY) == (reply.find("ne") != std::string::npos));

    const GetuidReply id = parseIdentity(reply);
    const std::size_t sn = reply.find("SN=");
    FUZZ_CHECK(id.serial.size() <= 9);
    FUZZ_CHECK(sn != std::string::npos || id.serial.empty());
    if (sn != std::string::npos)
        FUZZ_CHECK(reply.compare(sn + 3, id.serial.size(), id.serial) == 0);
    FUZZ_CHECK(id.model == 0 || id.model == 7300 || id.model == 7350 || id.model == 7355 || id.model == 7410);
    FUZZ_CHECK((id.model == 0) == (id.modelStatus == nullptr));
    if (id.model != 0)
        FUZZ_CHECK(reply.find(std::to_string(id.model)) != std::string::npos);
    return 0;
}
