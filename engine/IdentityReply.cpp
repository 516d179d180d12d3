// Reading the unit's kind, serial number and model out of its replies.
#include "engine/IdentityReply.h"

#include <cctype>

#include "engine/UpgradeState.h"

namespace {

// The model markers of the "getuid" reply, in the order they are tried.
struct ModelMarker {
    const char* plain;
    const char* j;
    int model;
    const char* status;
};
constexpr ModelMarker kModels[] = {
    {"Model=7410", "Model=J7410", 7410, "checking version... 7410 Model Found."},
    {"Model=7355", "Model=J7355", 7355, "checking version... 7355 Model Found."},
    {"Model=7350", "Model=J7350", 7350, "checking version... 7350 Model Found."},
    {"Model=7300", "Model=J7300", 7300, "checking version... 7300 Model Found."},
};

bool holds(const std::string& text, const char* what)
{
    return text.find(what) != std::string::npos;
}

} // namespace

GetuidReply parseIdentity(const std::string& reply)
{
    GetuidReply id;
    const std::size_t sn = reply.find("SN=");
    // Up to nine letters and digits: the serial number names the unit's
    // backup image and its resume log, so nothing else (a blank, a line
    // end, a path separator) may pass into it.
    for (std::size_t at = sn == std::string::npos ? reply.size() : sn + 3;
         at < reply.size() && id.serial.size() < 9 && std::isalnum(static_cast<unsigned char>(reply[at])); ++at)
        id.serial += reply[at];
    for (const ModelMarker& m : kModels) {
        if (holds(reply, m.plain) || holds(reply, m.j)) {
            id.model = m.model;
            id.modelStatus = m.status;
        }
    }
    return id;
}

int parseUnitKind(const std::string& reply)
{
    if (holds(reply, "ne"))
        return UNIT_DISPLAY;
    if (holds(reply, "fe"))
        return UNIT_REMOTE;
    return UNIT_UNKNOWN;
}
