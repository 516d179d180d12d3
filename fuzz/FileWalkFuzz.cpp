// Fuzz target: the file engine's name handling: the wildcard matcher
// against a plain reference, the open-mode parser, and the walk over a name
// list (on an in-memory directory tree), which must end and give only paths
// its list asked for.
#include <cstring>

#include "fuzz/FuzzInput.h"
#include "transfer/PosixFileEngine.h"

namespace {

// The reference: '*' any run (also none), '?' one character, the rest itself.
bool referenceMatch(const char* p, const char* n)
{
    // Iterative, with one back-track point: the last '*'.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*n) {
        if (*p == '?' || (*p != '*' && *p == *n)) {
            ++p;
            ++n;
        } else if (*p == '*') {
            star = p++;
            resume = n;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*')
        ++p;
    return *p == '\0';
}

// Every directory holds the same entries: two files, a subdirectory and the
// dot names, so a recursive walk goes down to its depth limit.
class TreeSearch : public DirectorySearch {
public:
    bool first(const std::string&, const std::string& pattern, DirectoryEntry& entry) override
    {
        static const DirectoryEntry kEntries[] = {
            {".", true, false}, {"..", true, false}, {"a.bin", false, true},
            {"b[1].txt", false, true}, {"sub", true, false},
        };
        matches.clear();
        for (const DirectoryEntry& e : kEntries)
            if (wildcardMatch(pattern, e.name))
                matches.push_back(e);
        at = 0;
        return next(entry);
    }
    bool next(DirectoryEntry& entry) override
    {
        if (at >= matches.size())
            return false;
        entry = matches[at++];
        return true;
    }
    void close() override { matches.clear(); }

private:
    std::vector<DirectoryEntry> matches;
    std::size_t at = 0;
};

std::unique_ptr<DirectorySearch> makeTreeSearch()
{
    return std::make_unique<TreeSearch>();
}

void checkOpenMode(const std::string& mode)
{
    const OpenMode m = parseOpenMode(mode.c_str());
    FUZZ_CHECK(m.read || m.write);
    FUZZ_CHECK(!m.truncate || (m.write && !m.read && !m.append));
    FUZZ_CHECK(!m.append || (m.read && m.write && m.create));
    // Reading alone never creates a file.
    if (mode.find_first_of("aw") == std::string::npos && mode.find('r') != std::string::npos)
        FUZZ_CHECK(m.read && !m.write && !m.create);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const std::string text = in.restText();
    const std::string cut = text.substr(0, text.find('\0'));

    // The matcher: the text split at its first '|' into pattern and name.
    const std::size_t bar = cut.find('|');
    if (bar != std::string::npos) {
        const std::string pattern = cut.substr(0, bar);
        const std::string name = cut.substr(bar + 1);
        FUZZ_CHECK(wildcardMatch(pattern, name) == referenceMatch(pattern.c_str(), name.c_str()));
    }

    checkOpenMode(cut.substr(0, 8));

    // The walk over the text as a name list.
    FileWalk walk(makeTreeSearch, PathSyntax{"/", '\0', '/', "*"});
    walk.start(text.c_str(), setup & 1);
    std::string path;
    int found = 0;
    while (walk.nextFile(path)) {
        ++found;
        // Each list entry gives at most the two files in each of the ten
        // levels of its directory; entries are at least two characters apart.
        FUZZ_CHECK(found <= 20 * static_cast<int>(text.size() / 2 + 1));
        const std::size_t slash = path.rfind('/');
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        FUZZ_CHECK(name == "a.bin" || name == "b[1].txt");
        FUZZ_CHECK(path.size() <= FileWalk::kMaxEntry + 4 * FileWalk::kMaxDepth + 8);
    }
    return 0;
}
