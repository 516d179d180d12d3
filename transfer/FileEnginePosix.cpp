// POSIX file engine: file I/O on a descriptor, directory search with
// opendir/readdir and fnmatch.
#include "transfer/PosixFileEngine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// fnmatch pattern in which only '*' and '?' are special.
std::string escapePattern(const std::string& pattern)
{
    std::string out;
    for (char c : pattern) {
        if (c == '[' || c == ']' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

bool hasWildcard(const std::string& pattern)
{
    return pattern.find_first_of("*?") != std::string::npos;
}

bool describe(const std::string& path, DirectoryEntry& entry)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.isFile = S_ISREG(st.st_mode);
    return true;
}

// A snapshot of the matching names of one directory, sorted by name.
class PosixDirectorySearch : public DirectorySearch {
public:
    bool first(const std::string& directory, const std::string& pattern,
               DirectoryEntry& entry) override
    {
        close();
        if (!hasWildcard(pattern)) {
            // A plain name needs no listing (and works in a directory that
            // may be searched but not read).
            DirectoryEntry e;
            e.name = pattern;
            if (describe(directory + pattern, e))
                entries.push_back(e);
        } else {
            DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
            if (dir) {
                while (const dirent* d = ::readdir(dir)) {
                    if (!wildcardMatch(pattern, d->d_name))
                        continue;
                    DirectoryEntry e;
                    e.name = d->d_name;
                    if (describe(directory + e.name, e))
                        entries.push_back(e);
                }
                ::closedir(dir);
            }
            std::sort(entries.begin(), entries.end(),
                      [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
        }
        return next(entry);
    }

    bool next(DirectoryEntry& entry) override
    {
        if (position >= entries.size())
            return false;
        entry = entries[position++];
        return true;
    }

    void close() override
    {
        entries.clear();
        position = 0;
    }

private:
    std::vector<DirectoryEntry> entries;
    std::size_t position = 0;
};

std::unique_ptr<DirectorySearch> makeSearch()
{
    return std::make_unique<PosixDirectorySearch>();
}

} // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name)
{
    return ::fnmatch(escapePattern(pattern).c_str(), name.c_str(), 0) == 0;
}

std::unique_ptr<FileEngine> createFileEngine()
{
    return std::make_unique<PosixFileEngine>();
}

PosixFileEngine::PosixFileEngine()
    : WalkingFileEngine(makeSearch, PathSyntax{"/", '\0', '/', "*"})
{
}

PosixFileEngine::~PosixFileEngine()
{
    if (fd >= 0)
        ::close(fd);
}

int PosixFileEngine::open(const char* path, const char* mode)
{
    if (fd >= 0)
        return FILE_ENGINE_BUSY;
    if (!path || !mode)
        return FILE_ENGINE_OPEN_FAILED;
    const OpenMode m = parseOpenMode(mode);
    int flags = m.read && m.write ? O_RDWR : m.write ? O_WRONLY : O_RDONLY;
    if (m.create)
        flags |= O_CREAT;
    if (m.truncate)
        flags |= O_TRUNC;
    const std::string full = resolve(path);
    int f;
    do {
        f = ::open(full.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
    } while (f < 0 && errno == EINTR);
    if (f < 0)
        return FILE_ENGINE_OPEN_FAILED;
    fd = f;
    sizeCache = -1;
    if (m.append)
        seek(0, FILE_SEEK_END);
    return 0;
}

int PosixFileEngine::close()
{
    if (fd < 0)
        return FILE_ENGINE_NOT_OPEN;
    int r = ::close(fd);
    fd = -1;
    sizeCache = -1;
    return r == 0 ? 0 : FILE_ENGINE_CLOSE_FAILED;
}

int PosixFileEngine::seek(int offset, int origin)
{
    if (fd < 0)
        return FILE_ENGINE_NOT_OPEN;
    int whence = origin == FILE_SEEK_CURRENT ? SEEK_CUR : origin == FILE_SEEK_END ? SEEK_END : SEEK_SET;
    return ::lseek(fd, offset, whence) < 0 ? FILE_ENGINE_SEEK_FAILED : 0;
}

int PosixFileEngine::tell()
{
    if (fd < 0)
        return FILE_ENGINE_NOT_OPEN;
    off_t pos = ::lseek(fd, 0, SEEK_CUR);
    if (pos < 0 || pos > INT_MAX)
        return FILE_ENGINE_TELL_FAILED;
    return static_cast<int>(pos);
}

int PosixFileEngine::size()
{
    if (sizeCache >= 0)
        return sizeCache;
    // The path is used as found: lower-casing it would name another file on
    // a case-sensitive file system.
    struct stat st {};
    int r = fd >= 0 ? ::fstat(fd, &st) : ::stat(resolve(name).c_str(), &st);
    off_t bytes = r == 0 ? st.st_size : 0;
    sizeCache = static_cast<int>(std::min<off_t>(bytes, INT_MAX));
    return sizeCache;
}

unsigned PosixFileEngine::write(const std::uint8_t* bytes, unsigned n)
{
    if (fd < 0 || !bytes)
        return 0;
    unsigned done = 0;
    while (done < n) {
        ssize_t r = ::write(fd, bytes + done, n - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        done += static_cast<unsigned>(r);
    }
    sizeCache = -1;
    return done;
}

unsigned PosixFileEngine::read(std::uint8_t* bytes, unsigned n)
{
    if (fd < 0 || !bytes)
        return 0;
    unsigned done = 0;
    while (done < n) {
        ssize_t r = ::read(fd, bytes + done, n - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        done += static_cast<unsigned>(r);
    }
    return done;
}
