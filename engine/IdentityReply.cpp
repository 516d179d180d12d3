// Reading the unit's kind, serial number and model out of its replies.
#include "engine/IdentityReply.h"

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
    if (sn != std::string::npos)
        id.serial = reply.substr(sn + 3, 9);
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
