// The walk over a list of file names with directory parts and wildcards,
// shared by the platform file engines; the platform supplies the search.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "transfer/FileEngine.h"

// One entry of a directory search.
struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
    bool isFile = false;  // a regular file that can be opened and read
};

// One directory search: the entries of `directory` whose names match
// `pattern` ('*' and '?' wildcards). The platform decides the order.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // Starts the search; false when nothing matches (or the directory
    // cannot be read). directory is empty or ends with a separator.
    virtual bool first(const std::string& directory, const std::string& pattern,
                       DirectoryEntry& entry) = 0;
    // The next match; false when none is left.
    virtual bool next(DirectoryEntry& entry) = 0;
    // Ends the search and frees what it holds; safe to call twice.
    virtual void close() = 0;
};

// How a platform spells paths.
struct PathSyntax {
    const char* separators;   // characters that end a directory part
    char driveSeparator;      // ends a directory part when no separator does; 0: none
    char appendSeparator;     // put after a subdirectory name when entering it
    const char* allPattern;   // the pattern that matches every entry
};

// The walk state machine: next list entry -> files of its directory part ->
// (when recursing) each subdirectory, down to depth 9, and back up.
class FileWalk {
public:
    using SearchFactory = std::unique_ptr<DirectorySearch> (*)();

    FileWalk(SearchFactory factory, PathSyntax syntax);
    ~FileWalk();

    // Rewinds to the first entry of list (a copy is kept; null keeps the
    // previous list) at depth 0, closing any search still open.
    void start(const char* list, int recurse);
    // True with the next file's path in `path`; false when the list is done.
    bool nextFile(std::string& path);
    // Relative entries are searched below folder (empty: the current
    // directory); the paths returned stay as the list names them.
    void setBase(std::string folder) { base = std::move(folder); }
    const std::string& baseFolder() const { return base; }

    static constexpr int kMaxDepth = 9;
    static constexpr std::size_t kMaxEntry = 255;

    FileWalk(const FileWalk&) = delete;
    FileWalk& operator=(const FileWalk&) = delete;

private:
    enum State { NextEntry, FirstFile, NextFileInDir, FirstSubdir, NextSubdir, Enter, Up };

    bool takeEntry();
    bool isSeparator(char c) const;
    std::string searchDirectory() const;
    void closeAll();

    SearchFactory factory;
    PathSyntax syntax;
    std::string base;
    std::string list;
    std::size_t cursor = 0;
    std::string directory;
    std::string pattern;
    State state = NextEntry;
    int depth = 0;
    int recurse = 0;
    std::size_t directoryLength[kMaxDepth + 1] = {};  // length of directory at each depth
    std::unique_ptr<DirectorySearch> search[kMaxDepth + 1];
    DirectoryEntry found[kMaxDepth + 1];
};

// What the mode text of FileEngine::open() asks for.
struct OpenMode {
    bool read = false;
    bool write = false;
    bool truncate = false;  // an existing file is emptied
    bool create = false;    // a missing file is created
    bool append = false;    // positioned at the end after opening
};
OpenMode parseOpenMode(const char* mode);

// path as seen from the folder base: a relative path is joined to it, an
// absolute one (or one on another drive) is kept; with an empty base, path
// itself. An empty path gives base with a separator at its end.
std::string resolveAgainst(const std::string& base, const std::string& path);

// The part of a platform file engine that walks name lists: start(),
// nextFile() and nameBuffer() over a FileWalk, with the size cache that
// every new file clears.
class WalkingFileEngine : public FileEngine {
public:
    int start(const char* list, int recurse) override;
    int nextFile() override;
    const char* nameBuffer() override { return name.c_str(); }
    void setBaseFolder(const std::string& folder) override;

    int sizeCache = -1;  // size measured by size(); -1 when not yet measured
    int recurse = 0;

protected:
    WalkingFileEngine(FileWalk::SearchFactory factory, PathSyntax syntax);
    virtual bool isOpen() const = 0;
    // A path given to open() or found by the walk, resolved against the
    // base folder: what the platform calls take.
    std::string resolve(const std::string& path) const { return resolveAgainst(walk.baseFolder(), path); }

    std::string name;    // path of the current file found by the walk

private:
    FileWalk walk;
};
