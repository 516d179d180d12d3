// Reading "control.upd": version, section lookup and entry parsing.
#include "engine/ControlFile.h"

#include <cstdio>
#include <vector>

#include "engine/UpgradeState.h"
#include "engine/VersionText.h"

bool readControlText(const std::string& path, std::size_t limit, std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    std::vector<char> buffer(limit);
    const std::size_t n = std::fread(buffer.data(), 1, limit, f);
    std::fclose(f);
    // Read as a C string: a NUL byte ends the text.
    text.assign(buffer.data(), n);
    text = std::string(text.c_str());
    return true;
}

bool readControlVersion(const std::string& text, double unitVersion, double& version)
{
    const std::size_t r = text.find("Rev");
    if (r == std::string::npos)
        return false;
    const std::size_t start = r + (unitVersion >= 2.0 ? 12 : 3);
    version = versionAt(text, start);
    return true;
}

int findSection(const std::string& text, const std::string& name)
{
    const std::size_t at = text.find(name);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

std::string sectionKey(int model, int unitKind)
{
    return std::to_string(model) + (unitKind == UNIT_DISPLAY ? "NE" : "FE");
}

std::string mainSectionName(const std::string& key, int mode)
{
    if (mode == MODE_UPDATE_ONLY)
        return "REL" + key;
    if (mode == MODE_DOWNGRADE)
        return "DWN" + key;
    return key;
}

std::string calibrationSectionName(const std::string& mainName)
{
    return "CAL" + mainName;
}

int parseSection(const std::string& text, int start, StepList& list, int& errorFlag)
{
    const std::size_t end = text.size();
    std::size_t at = start < 0 ? end : static_cast<std::size_t>(start);
    int count = 0;
    // Up to the first entry; a "/" on the way is out of place.
    while (at < end && text[at] != '{') {
        if (text[at] == '/')
            errorFlag = 1;
        ++at;
    }
    for (;;) {
        if (at >= end) {
            // The text ended before the section's closing "/".
            errorFlag = 1;
            return count;
        }
        if (text[at] == '/')
            return count;
        // text[at] is "{": the entry runs to the next "}".
        std::string entry;
        ++at;
        while (at < end && text[at] != '}') {
            if (text[at] == '/')
                errorFlag = 1;
            entry += text[at++];
        }
        if (at >= end) {
            errorFlag = 1;
            return count;
        }
        ++at;
        if (count < StepList::kMaxEntries) {
            list.setEntry(count, entry);
            ++count;
        } else {
            errorFlag = 1;
        }
        while (at < end && text[at] != '{' && text[at] != '/')
            ++at;
    }
}
