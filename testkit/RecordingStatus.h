// A transfer status for tests: records the engine's messages and can ask
// for an abort.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "transfer/TransferStatus.h"

namespace testkit {

class RecordingStatus : public TransferStatus {
public:
    void message(const char* text) override { messages.emplace_back(text); }
    int abortQuery() override { return abortWhen ? abortWhen() : 0; }
    int notify(int result) override
    {
        ++notifyCalls;
        return result;
    }
    bool saw(const std::string& text) const
    {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }
    int count(const std::string& text) const
    {
        return static_cast<int>(std::count(messages.begin(), messages.end(), text));
    }

    std::vector<std::string> messages;
    std::function<int()> abortWhen;   // returns 0 or an abort code
    int notifyCalls = 0;
};

} // namespace testkit
