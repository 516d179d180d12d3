// The wizard's worker settings, from the process environment.
#include "app/gui/GuiEnvironment.h"

#include <QString>
#include <QtGlobal>

#include "app/gui/DialogRunner.h"
#include "history/HistoryStore.h"

EngineEnv GuiEnvironment::engineEnv(EngineNotifier* notifier, SearchAnimation* animation,
                                    const std::atomic<bool>* stop) const
{
    EngineEnv env;
    env.workDir = workDir;
    env.openPort = openPort;
    env.clock = clock;
    env.notifier = notifier;
    env.animation = animation;
    env.stop = stop;
    env.pauseScale = pauseScale;
    env.openDelayMs = openDelayMs;
    return env;
}

DialogRunner& GuiEnvironment::runner() const
{
    return dialogs != nullptr ? *dialogs : defaultDialogRunner();
}

std::string GuiEnvironment::path(const std::string& name) const
{
    EngineEnv env;
    env.workDir = workDir;
    return env.path(name);
}

GuiEnvironment GuiEnvironment::fromProcessEnvironment()
{
    GuiEnvironment out;
    bool ok = false;
    const double scale = qEnvironmentVariable("UNITFLASH_PAUSE_SCALE").toDouble(&ok);
    if (ok && scale > 0)
        out.pauseScale = scale;
    const int delay = qEnvironmentVariable("UNITFLASH_OPEN_DELAY_MS").toInt(&ok);
    if (ok && delay >= 0)
        out.openDelayMs = delay;
    out.historyFile = HistoryStore::defaultPath();
    return out;
}
