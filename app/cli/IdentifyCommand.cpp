// unitflash-cli identify: the search alone.
#include "app/cli/IdentifyCommand.h"

#include "app/cli/CliSession.h"
#include "app/cli/CliTexts.h"
#include "app/cli/JsonEvents.h"

namespace {

int identifyUnit(CliSession& run, const IdentifyRequest& request)
{
    std::string problem;
    const bool setFound = findFirmwareSet(request.workDir, run.env.workDir, problem);
    if (run.env.workDir.empty())
        run.env.workDir = request.workDir.empty() ? std::string(".") : request.workDir;
    run.preparePort(request.port, nullptr, request.pauseScale, request.openDelayMs);
    const IdentifyOutcome found = searchUnit(run);
    if (const int status = searchProblem(run, found); status != CLI_EXIT_DONE)
        return status;
    // The identification reads the set's version last; a set without a
    // "Rev" field leaves the mode unset.
    const bool setVersion = setFound && found == IdentifyOutcome::Identified && run.state.mode == MODE_UPDATE_ONLY;
    run.say(identityText(run.state, setVersion));
    if (!setFound)
        run.say("  firmware set    none (" + problem + ")");
    else if (!setVersion)
        run.say("  firmware set    control.upd holds no version (\"Rev\")");
    if (run.console.events != nullptr)
        run.console.events->identified(run.state, run.portName, true, setVersion);
    return CLI_EXIT_DONE;
}

}  // namespace

int runIdentify(const IdentifyRequest& request, CliConsole& console)
{
    CliSession run(console);
    const int status = identifyUnit(run, request);
    if (console.events != nullptr)
        console.events->finished(status, run.cause);
    return status;
}
