// The file access object of the transfer engine: open/read/write/close one
// file and walk a list of names with wildcards to find the files to send.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// File engine result codes (negative; 0 or a count is success).
enum FileEngineResult : int {
    FILE_ENGINE_BUSY = -950,          // open while a file is open
    FILE_ENGINE_OPEN_FAILED = -951,   // the file could not be opened or created
    FILE_ENGINE_CLOSE_FAILED = -952,
    FILE_ENGINE_NOT_OPEN = -953,      // close, seek or tell without an open file
    FILE_ENGINE_SEEK_FAILED = -954,
    FILE_ENGINE_TELL_FAILED = -955,
    FILE_ENGINE_NO_MEMORY = -956,
};

// Origins of seek().
enum FileSeekOrigin : int {
    FILE_SEEK_BEGIN = 0,
    FILE_SEEK_CURRENT = 1,
    FILE_SEEK_END = 2,
};

// One file at a time, plus a walk over a name list. A file engine belongs to
// the thread that runs the transfer; nothing here waits or throws.
class FileEngine {
public:
    virtual ~FileEngine() = default;

    // Starts a walk over list: names separated by white space, ',' or ';',
    // each with an optional directory part and the wildcards '*' and '?' in
    // its file part. A null list walks the previous list again. recurse != 0
    // also searches the subdirectories (at most 9 levels down). Forgets the
    // current name and closes a file left open. 0, or -956.
    virtual int start(const char* list, int recurse) = 0;
    // Opens path. Mode text: "a" read/write, created when missing, positioned
    // at the end; "w" with "r" read/write, created when missing; "w" alone
    // write-only, created or emptied; "r" alone read-only, never created;
    // neither write-only, created when missing. 0, -950 or -951.
    virtual int open(const char* path, const char* mode) = 0;
    // 0, -952 (the file is forgotten either way) or -953.
    virtual int close() = 0;
    // 0, -953 or -954.
    virtual int seek(int offset, int origin) = 0;
    // The position, -953 or -955.
    virtual int tell() = 0;
    // Size in bytes of the open file, or when none is open of the file named
    // by nameBuffer(); 0 for a file that does not exist. Measured afresh for
    // every file.
    virtual int size() = 0;
    // 1 when the walk found the next regular file (its path is then in
    // nameBuffer()), 0 when the list is exhausted.
    virtual int nextFile() = 0;
    // Bytes written; fewer than n (possibly 0) on failure.
    virtual unsigned write(const std::uint8_t* bytes, unsigned n) = 0;
    // Bytes read; fewer than n only at the end of the file or on failure.
    virtual unsigned read(std::uint8_t* bytes, unsigned n) = 0;
    // The path of the current file found by nextFile() ("" before the first).
    // Valid until the next call of start() or nextFile().
    virtual const char* nameBuffer() = 0;
    // Makes folder the base of every relative name from now on: the entries
    // of a walk's list are searched below it and the paths given to open()
    // are opened below it, while nameBuffer() keeps the name as listed. The
    // folder is data, never split, so it may hold blanks, ',' and ';'.
    // Empty: the current directory. An engine without a file system keeps
    // its names as given.
    virtual void setBaseFolder(const std::string& folder) { (void)folder; }
};

// Makes the file engine of this platform (POSIX or Win32).
std::unique_ptr<FileEngine> createFileEngine();
