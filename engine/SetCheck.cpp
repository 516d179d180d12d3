// Checks every list of a firmware set against the files in its folder.
#include "engine/SetCheck.h"

#include <algorithm>

#include "engine/ControlFile.h"

bool SetCheck::complete() const
{
    return readable && hasVersion && !sections.empty()
        && std::all_of(sections.begin(), sections.end(), [](const SectionCheck& s) { return s.ok(); });
}

SetCheck checkFirmwareSet(const EngineEnv& env)
{
    SetCheck set;
    std::string text;
    set.readable = readControlText(env.path(kControlFileName), kUpgradeReadLimit, text);
    if (!set.readable)
        return set;
    // The identification reads the version from a shorter part of the file.
    const std::string head = text.substr(0, kIdentifyReadLimit);
    set.hasVersion = readControlVersion(head, 1.0, set.version) && readControlVersion(head, 2.0, set.version2);
    for (const int model : {7355, 7410}) {
        for (const int kind : {UNIT_DISPLAY, UNIT_REMOTE}) {
            for (const int mode : {MODE_REINSTALL, MODE_UPDATE_ONLY, MODE_DOWNGRADE}) {
                SectionCheck section;
                section.model = model;
                section.unitKind = kind;
                section.mode = mode;
                section.version = model == 7410 ? set.version2 : set.version;
                SectionNeeds needs;
                const Refusal found
                    = sectionNeeds(text, model, kind, mode, kMinimumUnitVersion, section.version, needs);
                if (found == Refusal::NoSection)
                    continue;
                section.section = needs.mainName;
                section.calibration = needs.calibration;
                if (found == Refusal::BadSection) {
                    section.problem = Refusal::BadSection;
                    section.badList = needs.badList;
                } else {
                    section.missing = missingFiles(needs.files, env);
                    if (!section.missing.empty())
                        section.problem = Refusal::MissingFiles;
                }
                set.sections.push_back(std::move(section));
            }
        }
    }
    return set;
}
