// ChildProcess on Windows: CreateProcessW with a quoted command line, WaitForSingleObject and TerminateProcess.
#include "process/ChildProcess.h"

#include <filesystem>
#include <io.h>
#include <windows.h>

#include "process/WideText.h"

namespace {

// Exit code given to a child ended by kill(), as a POSIX shell reports SIGKILL.
constexpr UINT kKilledStatus = 137;

// Appends one argument quoted so that the C runtime's parser of the child
// gives it back unchanged: empty arguments and spaces survive, backslashes
// count only before a quote.
void appendQuoted(std::wstring& line, const std::wstring& arg)
{
    if (!line.empty())
        line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            line.append(backslashes * 2 + 1, L'\\');
        else
            line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The environment block: ours with `added` entries in place of inherited
// ones of the same name (compared without regard to case, as Windows does).
std::wstring environmentBlock(const std::vector<std::string>& added)
{
    std::vector<std::wstring> adds;
    for (const std::string& a : added)
        adds.push_back(widen(a));
    auto nameOf = [](const std::wstring& e) { return e.substr(0, e.find(L'=', 1) + 1); };
    std::wstring block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* e = env; e != nullptr && *e != L'\0'; e += wcslen(e) + 1) {
        std::wstring entry(e);
        bool replaced = false;
        for (const std::wstring& a : adds)
            replaced = replaced || _wcsicmp(nameOf(entry).c_str(), nameOf(a).c_str()) == 0;
        if (!replaced) {
            block += entry;
            block += L'\0';
        }
    }
    if (env != nullptr)
        FreeEnvironmentStringsW(env);
    for (const std::wstring& a : adds) {
        block += a;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

void closeHandle(HANDLE& h)
{
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    h = nullptr;
}

} // namespace

struct ChildProcess::Impl {
    HANDLE process = nullptr;
    DWORD id = 0;
    int status = -1;

    bool ended(DWORD waitMs)
    {
        if (process == nullptr)
            return false;
        if (status >= 0)
            return true;
        if (WaitForSingleObject(process, waitMs) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        status = static_cast<int>(code);
        return true;
    }
};

ChildProcess::ChildProcess() : impl(std::make_unique<Impl>()) {}

ChildProcess::~ChildProcess()
{
    if (running())
        kill();
    closeHandle(impl->process);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir)
{
    if (impl->process != nullptr)
        return false;
    std::wstring line;
    for (const std::string& a : args)
        appendQuoted(line, widen(a));

    // CreateProcess resolves a relative program against our directory, not
    // the child's, so it is made absolute here. A path with a root but no
    // drive ("\\tools\\x.exe") lies on our current drive, not below workDir.
    std::filesystem::path exe = std::filesystem::u8path(program);
    const bool search = setup.searchPath && !exe.has_parent_path();
    if (!search && !exe.has_root_path() && !workDir.empty())
        exe = std::filesystem::absolute(std::filesystem::u8path(workDir) / exe);
    else if (!search && exe.is_relative())
        exe = std::filesystem::absolute(exe);
    std::wstring exePath = exe.wstring();
    if (search) {
        // CreateProcess would search by itself only when the program is the
        // first word of the command line, and args[0] belongs there.
        wchar_t found[MAX_PATH];
        if (SearchPathW(nullptr, exePath.c_str(), L".exe", MAX_PATH, found, nullptr) == 0)
            return false;
        exePath = found;
    }

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE handles[3] = {nullptr, nullptr, nullptr};
    const DWORD standard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    bool ok = true;
    for (int stream = StdIn; stream <= StdErr && ok; ++stream) {
        const Redirect& r = setup.streams[stream];
        const DWORD access = stream == StdIn ? GENERIC_READ : (r.kind == Redirect::Kind::AppendFile ? FILE_APPEND_DATA : GENERIC_WRITE);
        const DWORD disposition = stream == StdIn ? OPEN_EXISTING : (r.kind == Redirect::Kind::AppendFile ? OPEN_ALWAYS : CREATE_ALWAYS);
        HANDLE source = nullptr;
        switch (r.kind) {
        case Redirect::Kind::Inherit:
            source = GetStdHandle(standard[stream]);
            break;
        case Redirect::Kind::Null:
            handles[stream] = CreateFileW(L"NUL", stream == StdIn ? GENERIC_READ : GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
            break;
        case Redirect::Kind::File:
        case Redirect::Kind::AppendFile:
            handles[stream] = CreateFileW(widen(r.path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
            break;
        case Redirect::Kind::Descriptor:
            source = reinterpret_cast<HANDLE>(_get_osfhandle(r.fd));
            break;
        case Redirect::Kind::SameAsOutput:
            source = handles[StdOut] != nullptr ? handles[StdOut] : GetStdHandle(STD_OUTPUT_HANDLE);
            break;
        }
        if (source != nullptr && source != INVALID_HANDLE_VALUE)
            DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &handles[stream], 0, TRUE,
                            DUPLICATE_SAME_ACCESS);
        ok = r.kind == Redirect::Kind::Inherit || (handles[stream] != nullptr && handles[stream] != INVALID_HANDLE_VALUE);
    }

    PROCESS_INFORMATION pi{};
    if (ok) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = handles[0];
        si.hStdOutput = handles[1];
        si.hStdError = handles[2];
        std::wstring env = setup.environment.empty() ? std::wstring() : environmentBlock(setup.environment);
        std::wstring dir = widen(workDir);
        ok = CreateProcessW(exePath.c_str(), line.data(), nullptr, nullptr, TRUE,
                            env.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT, env.empty() ? nullptr : env.data(),
                            dir.empty() ? nullptr : dir.c_str(), &si, &pi) != 0;
    }
    for (HANDLE& h : handles)
        closeHandle(h);
    if (!ok)
        return false;
    CloseHandle(pi.hThread);
    impl->process = pi.hProcess;
    impl->id = pi.dwProcessId;
    impl->status = -1;
    return true;
}

bool ChildProcess::wait(int timeoutMs)
{
    return impl->ended(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
}

void ChildProcess::kill()
{
    if (impl->process == nullptr || impl->ended(0))
        return;
    TerminateProcess(impl->process, kKilledStatus);
    impl->ended(INFINITE);
}

bool ChildProcess::running() const
{
    return impl->process != nullptr && !impl->ended(0);
}

int ChildProcess::exitStatus() const
{
    return impl->status;
}

ChildCpuTime ChildProcess::cpuTime() const
{
    FILETIME created, exited, kernel, user;
    if (impl->process == nullptr || !GetProcessTimes(impl->process, &created, &exited, &kernel, &user))
        return {};
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return {ms(user), ms(kernel)};
}

long ChildProcess::processId() const
{
    return impl->process == nullptr ? -1 : static_cast<long>(impl->id);
}
