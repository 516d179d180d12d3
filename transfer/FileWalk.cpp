// The name-list walk shared by the platform file engines.
#include "transfer/FileWalk.h"

#include <cstring>
#include <filesystem>

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

std::string FileWalk::searchDirectory() const
{
    return base.empty() ? directory : resolveAgainst(base, directory);
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
            bool ok = current && (state == FirstFile ? current->first(searchDirectory(), pattern, entry)
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
                state = current->first(searchDirectory(), syntax.allPattern, entry) ? Enter : Up;
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

WalkingFileEngine::WalkingFileEngine(FileWalk::SearchFactory factory, PathSyntax syntax)
    : walk(factory, syntax)
{
}

int WalkingFileEngine::start(const char* list, int newRecurse)
{
    // A file still open is closed rather than leaked.
    if (isOpen())
        close();
    recurse = newRecurse;
    name.clear();
    sizeCache = -1;
    walk.start(list, newRecurse);
    return 0;
}

int WalkingFileEngine::nextFile()
{
    sizeCache = -1;
    std::string path;
    if (!walk.nextFile(path))
        return 0;
    name = path;
    return 1;
}

void WalkingFileEngine::setBaseFolder(const std::string& folder)
{
    walk.setBase(folder);
}

std::string resolveAgainst(const std::string& base, const std::string& path)
{
    if (base.empty())
        return path;
    return (std::filesystem::path(base) / std::filesystem::path(path)).string();
}

OpenMode parseOpenMode(const char* mode)
{
    OpenMode m;
    const bool hasA = std::strchr(mode, 'a') != nullptr;
    const bool hasW = std::strchr(mode, 'w') != nullptr;
    const bool hasR = std::strchr(mode, 'r') != nullptr;
    if (hasA) {
        // Any append mode writes at the end, never over what is there.
        m.read = m.write = m.create = m.append = true;
    } else if (hasW) {
        m.write = m.create = true;
        m.read = hasR;
        m.truncate = !hasR;
    } else if (hasR) {
        // Reading never creates the file it was asked to read.
        m.read = true;
    } else {
        m.write = m.create = true;
    }
    return m;
}
