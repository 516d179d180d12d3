// The upgrade plan "control.upd": its version field, its sections and the
// entries of a section.
#pragma once

#include <string>

class StepList;

constexpr const char* kControlFileName = "control.upd";
// How much of the control file each reader sees.
constexpr std::size_t kIdentifyReadLimit = 5000;
constexpr std::size_t kUpgradeReadLimit = 10000;

// Reads at most limit bytes of the file as text. False when the file cannot
// be opened; a file shorter than limit is read whole.
bool readControlText(const std::string& path, std::size_t limit, std::string& text);

// The control file's version for a unit of unitVersion: six characters 3
// (below 2.0) or 12 (2.0 and above) after the first "Rev", read as a
// leading number. False when the text holds no "Rev"; a field cut short by
// the end of the text reads what is there.
bool readControlVersion(const std::string& text, double unitVersion, double& version);

// The index of the first occurrence of name in text, anywhere, also inside a
// longer word; -1 when absent. A section counts as present only when the
// index is greater than 0.
int findSection(const std::string& text, const std::string& name);

// Section names for a model, unit kind and mode.
std::string sectionKey(int model, int unitKind);              // "7355NE", "7410FE"
std::string mainSectionName(const std::string& key, int mode);  // "REL..", "DWN..", or the key
std::string calibrationSectionName(const std::string& mainName);  // "CAL" + main name

// Fills list from the braced entries that follow start: skips to the first
// "{", takes each "{text}" into the next slot, skips what lies between
// entries, and ends at the "/" that closes the section. Returns the number
// of entries stored. errorFlag is set to 1 for a "/" before the first entry
// or inside an entry (the entry keeps it), for a section that the text ends
// before its "/" or its first "{" (parsing stops at the end of the text),
// and for a tenth entry, which is dropped with any after it: the list holds
// at most 9.
int parseSection(const std::string& text, int start, StepList& list, int& errorFlag);
