// Win32 file engine: CreateFileA/ReadFile/WriteFile on one handle, and the
// directory search with FindFirstFileA/FindNextFileA.
#include "transfer/Win32FileEngine.h"

#include <climits>

#include <windows.h>

namespace {

void fillEntry(const WIN32_FIND_DATAA& data, DirectoryEntry& entry)
{
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isFile = !entry.isDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
}

class Win32DirectorySearch : public DirectorySearch {
public:
    ~Win32DirectorySearch() override { close(); }

    bool first(const std::string& directory, const std::string& pattern,
               DirectoryEntry& entry) override
    {
        close();
        WIN32_FIND_DATAA data;
        find = FindFirstFileA((directory + pattern).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        fillEntry(data, entry);
        return true;
    }

    bool next(DirectoryEntry& entry) override
    {
        if (find == INVALID_HANDLE_VALUE)
            return false;
        WIN32_FIND_DATAA data;
        if (!FindNextFileA(find, &data)) {
            close();
            return false;
        }
        fillEntry(data, entry);
        return true;
    }

    void close() override
    {
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        find = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE find = INVALID_HANDLE_VALUE;
};

std::unique_ptr<DirectorySearch> makeSearch()
{
    return std::make_unique<Win32DirectorySearch>();
}

} // namespace

std::unique_ptr<FileEngine> createFileEngine()
{
    return std::make_unique<Win32FileEngine>();
}

Win32FileEngine::Win32FileEngine()
    : WalkingFileEngine(makeSearch, PathSyntax{"\\/", ':', '\\', "*.*"})
{
}

Win32FileEngine::~Win32FileEngine()
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
}

int Win32FileEngine::open(const char* path, const char* mode)
{
    if (handle)
        return FILE_ENGINE_BUSY;
    if (!path || !mode)
        return FILE_ENGINE_OPEN_FAILED;
    const OpenMode m = parseOpenMode(mode);
    DWORD access = (m.read ? GENERIC_READ : 0) | (m.write ? GENERIC_WRITE : 0);
    DWORD disposition = m.truncate ? CREATE_ALWAYS : m.create ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileA(resolve(path).c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FILE_ENGINE_OPEN_FAILED;
    handle = h;
    sizeCache = -1;
    if (m.append)
        seek(0, FILE_SEEK_END);
    return 0;
}

int Win32FileEngine::close()
{
    if (!handle)
        return FILE_ENGINE_NOT_OPEN;
    BOOL ok = CloseHandle(static_cast<HANDLE>(handle));
    handle = nullptr;
    sizeCache = -1;
    return ok ? 0 : FILE_ENGINE_CLOSE_FAILED;
}

int Win32FileEngine::seek(int offset, int origin)
{
    if (!handle)
        return FILE_ENGINE_NOT_OPEN;
    DWORD method = origin == FILE_SEEK_CURRENT ? FILE_CURRENT : origin == FILE_SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(static_cast<HANDLE>(handle), distance, nullptr, method) ? 0
                                                                                  : FILE_ENGINE_SEEK_FAILED;
}

int Win32FileEngine::tell()
{
    if (!handle)
        return FILE_ENGINE_NOT_OPEN;
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER pos;
    if (!SetFilePointerEx(static_cast<HANDLE>(handle), zero, &pos, FILE_CURRENT) || pos.QuadPart > INT_MAX)
        return FILE_ENGINE_TELL_FAILED;
    return static_cast<int>(pos.QuadPart);
}

int Win32FileEngine::size()
{
    if (sizeCache >= 0)
        return sizeCache;
    // Measured for the open file, else for the path as found; the path is
    // never rewritten.
    LONGLONG bytes = 0;
    if (handle) {
        LARGE_INTEGER s;
        if (GetFileSizeEx(static_cast<HANDLE>(handle), &s))
            bytes = s.QuadPart;
    } else {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(resolve(name).c_str(), GetFileExInfoStandard, &data))
            bytes = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    sizeCache = static_cast<int>(bytes > INT_MAX ? INT_MAX : bytes);
    return sizeCache;
}

unsigned Win32FileEngine::write(const std::uint8_t* bytes, unsigned n)
{
    if (!handle || !bytes)
        return 0;
    DWORD done = 0;
    if (!WriteFile(static_cast<HANDLE>(handle), bytes, n, &done, nullptr))
        (void)GetLastError();
    sizeCache = -1;
    return done;
}

unsigned Win32FileEngine::read(std::uint8_t* bytes, unsigned n)
{
    if (!handle || !bytes)
        return 0;
    DWORD done = 0;
    if (!ReadFile(static_cast<HANDLE>(handle), bytes, n, &done, nullptr))
        (void)GetLastError();
    return done;
}
