// The name-list walk shared by the platform file engines.
#include "FileWalk.h"

#include <cstring>

namespace {

bool isListDelimiter(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'
        || c == ',' || c == ';';
}

bool isDotName(const std::string& name)
{
    return name == "." || name == "..";
}

} // namespace

FileWalk::FileWalk(SearchFactory factory, PathSyntax syntax)
    : factory(factory), syntax(syntax)
{
}

FileWalk::~FileWalk()
{
    closeAll();
}

void FileWalk::closeAll()
{
    for (auto& s : search)
        if (s)
            s->close();
}

void FileWalk::start(const char* newList, int newRecurse)
{
    closeAll();
    if (newList)
        list = newList;
    recurse = newRecurse;
    cursor = 0;
    depth = 0;
    directory.clear();
    pattern.clear();
    state = NextEntry;
}

bool FileWalk::isSeparator(char c) const
{
    return c != '\0' && std::strchr(syntax.separators, c) != nullptr;
}

// Splits the next list entry into directory part and pattern; false when
// the list holds no further entry.
bool FileWalk::takeEntry()
{
    while (cursor < list.size() && isListDelimiter(list[cursor]))
        ++cursor;
    std::size_t begin = cursor;
    while (cursor < list.size() && list[cursor] != '\0' && !isListDelimiter(list[cursor]))
        ++cursor;
    // An over-long entry is cut; its tail is skipped, not taken as a new entry.
    std::string entry = list.substr(begin, std::min(cursor - begin, kMaxEntry));

    std::size_t split = std::string::npos;
    for (std::size_t i = entry.size(); i-- > 0;)
        if (isSeparator(entry[i])) {
            split = i;
            break;
        }
    if (split == std::string::npos && syntax.driveSeparator != '\0')
        split = entry.rfind(syntax.driveSeparator);
    std::size_t dirLength = split == std::string::npos ? 0 : split + 1;
    directory = entry.substr(0, dirLength);
    pattern = entry.substr(dirLength);
    return !pattern.empty();
}

bool FileWalk::nextFile(std::string& path)
{
    for (;;) {
        DirectoryEntry& entry = found[depth];
        std::unique_ptr<DirectorySearch>& current = search[depth];
        switch (state) {
        case NextEntry:
            if (!takeEntry())
                return false;
            depth = 0;
            directoryLength[0] = directory.size();
            state = FirstFile;
            break;
        case FirstFile:
        case NextFileInDir: {
            if (!current)
                current = factory();
            bool ok = current && (state == FirstFile ? current->first(directory, pattern, entry)
                                                     : current->next(entry));
            // Directories, "." and ".." and special files are passed over in
            // the file search; a directory does not end it.
            while (ok && (!entry.isFile || isDotName(entry.name)))
                ok = current->next(entry);
            if (ok) {
                path = directory + entry.name;
                state = NextFileInDir;
                return true;
            }
            if (current)
                current->close();
            state = FirstSubdir;
            break;
        }
        case FirstSubdir:
            if (recurse && depth < kMaxDepth && current)
                state = current->first(directory, syntax.allPattern, entry) ? Enter : Up;
            else
                state = Up;
            break;
        case NextSubdir:
            state = current && current->next(entry) ? Enter : Up;
            break;
        case Enter:
            if (entry.isDirectory && !isDotName(entry.name)) {
                directory += entry.name;
                directory += syntax.appendSeparator;
                ++depth;
                directoryLength[depth] = directory.size();
                state = FirstFile;
            } else {
                state = NextSubdir;
            }
            break;
        case Up:
            if (current)
                current->close();
            if (depth > 0) {
                --depth;
                directory.resize(directoryLength[depth]);
                state = NextSubdir;
            } else {
                state = NextEntry;
            }
            break;
        }
    }
}
