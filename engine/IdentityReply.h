// What the unit's replies during identification say: its kind, serial number and model.
#pragma once

#include <string>

// The identity a "getuid" reply carries.
struct GetuidReply {
    std::string serial;               // up to nine letters and digits after "SN="; empty without "SN="
    int model = 0;                    // 7300, 7350, 7355 or 7410; 0 when no model marker is in the reply
    const char* modelStatus = nullptr;  // the status text of the model found; null with model 0
};

// Reads a "getuid" reply. The model markers ("Model=7410" or "Model=J7410",
// and likewise for 7355, 7350, 7300) are tried in that order and a later
// match overrides an earlier one. Never reads past the reply.
GetuidReply parseIdentity(const std::string& reply);

// The unit kind a prompt reply shows: UNIT_DISPLAY when it holds "ne",
// else UNIT_REMOTE when it holds "fe", else UNIT_UNKNOWN.
int parseUnitKind(const std::string& reply);
