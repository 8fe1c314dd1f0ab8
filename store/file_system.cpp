#include "store/file_system.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sigmat::store {
namespace {

// Bytes asked of the kernel at a time beyond the size the file had when it was opened.
constexpr std::size_t read_block = std::size_t{1} << 16;

std::string_view file_part(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string folder_part(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos)
        return ".";
    if (cut == 0)
        return std::string(path.substr(0, 1));
    return std::string(path.substr(0, cut));
}

// The path up to its last name, with its separator ("" for a bare name).
std::string_view prefix_part(std::string_view path) {
    return path.substr(0, path.size() - file_part(path).size());
}

DataError cannot_write(const std::string& path, int sys_errno) {
    return io_error(path, "cannot write " + path, sys_errno);
}

// The letters of a temporary name's suffix, as mkstemp draws them.
constexpr std::string_view suffix_letters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t suffix_length = 6;

#ifdef _WIN32

std::uint64_t process_id() {
    return static_cast<std::uint64_t>(_getpid());
}

// The ANSI code page is what every other narrow path of the program uses on Windows.
std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Paths beyond MAX_PATH need the "\\?\" form, which takes only absolute paths with
// backslashes.
std::wstring long_form(const std::string& path) {
    std::wstring w = wide(path);
    if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0)
        return w;
    std::replace(w.begin(), w.end(), L'/', L'\\');
    wchar_t full[32768];
    const DWORD n = GetFullPathNameW(w.c_str(), 32768, full, nullptr);
    if (n == 0 || n >= 32768)
        return w;
    std::wstring abs(full, n);
    if (abs.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + abs.substr(2);
    return L"\\\\?\\" + abs;
}

PathKind kind_of(DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return PathKind::other;
    return PathKind::regular;
}

// The nearest errno to a reason Windows gives, so that a failure reads the same on both.
int errno_of(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_NAME:
        return EINVAL;
    default:
        return EIO;
    }
}

// The reason of the last failed call; a call that failed without one counts as an I/O error.
DWORD last_error() {
    const DWORD e = GetLastError();
    return e == 0 ? ERROR_WRITE_FAULT : e;
}

// Six letters or digits that differ from call to call and from process to process. They need
// not be unpredictable: a name that is taken is never opened (CREATE_NEW) but drawn again.
std::string random_suffix() {
    static std::atomic<std::uint64_t> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    std::uint64_t x = static_cast<std::uint64_t>(now.QuadPart) ^ (process_id() << 40) ^
                      (counter.fetch_add(1) * 0x9E3779B97F4A7C15u);
    // splitmix64's mixing, so that neighbouring counts give unrelated names.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    x ^= x >> 31;
    std::string out(suffix_length, 'A');
    for (char& c : out) {
        c = suffix_letters[x % suffix_letters.size()];
        x /= suffix_letters.size();
    }
    return out;
}

// C's rename fails over an existing file here; MoveFileExW replaces it. While another
// process replaces or opens the same name (two Sigmats saving their setup, a virus scanner
// looking at a new file) the replace is refused for a moment with a sharing or access error:
// it is tried again for up to about two seconds before the write counts as failed. 0, or the
// reason of the last attempt.
DWORD replace_file(const SystemCalls& calls, const std::wstring& from, const std::wstring& to) {
    constexpr int attempts = 100;
    for (int attempt = 1;; ++attempt) {
        if (calls.replace(from.c_str(), to.c_str()))
            return 0;
        const DWORD e = last_error();
        const bool passing =
            e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
        if (!passing || attempt == attempts)
            return e;
        Sleep(20);
    }
}

bool process_alive(std::uint64_t pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

// A folder and everything in it. A link or junction inside is a reparse point: removed as
// itself, never entered.
void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring inside = folder + L"\\" + name;
            const DWORD a = data.dwFileAttributes;
            if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
                remove_tree(inside);
            } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(inside.c_str());
            } else {
                SetFileAttributesW(inside.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(inside.c_str());
            }
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
}

void remove_leftovers(const std::string& path) {
    const std::string_view target = file_part(path);
    const std::string prefix(prefix_part(path));
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW(long_form(folder_part(path) + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::pair<std::string, DWORD>> found;
    const std::uint64_t self = process_id();
    do {
        std::string name = narrow(data.cFileName);
        std::uint64_t pid = 0;
        if (is_temporary_of(name, target, pid) && pid != self && !process_alive(pid))
            found.emplace_back(std::move(name), data.dwFileAttributes);
    } while (FindNextFileW(h, &data));
    FindClose(h);
    for (const auto& [name, attributes] : found) {
        const std::wstring leftover = long_form(prefix + name);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            remove_tree(leftover);
        else
            DeleteFileW(leftover.c_str());
    }
}

Status check_writable(const std::string& path) {
    const DWORD a = GetFileAttributesW(long_form(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return {};
    if (a & FILE_ATTRIBUTE_DIRECTORY)
        return cannot_write(path, EISDIR);
    if (a & FILE_ATTRIBUTE_DEVICE)
        return cannot_write(path, EEXIST);
    // MoveFileExW would be refused (access denied) over it.
    if (a & FILE_ATTRIBUTE_READONLY)
        return io_error(path, path + " is read-only", 0);
    return {};
}

const SystemCalls windows_calls = {
    [](const wchar_t* path) -> void* {
        return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    },
    [](void* file, const void* data, unsigned long size, unsigned long* written) -> int {
        return WriteFile(file, data, size, written, nullptr);
    },
    [](void* file) -> int { return FlushFileBuffers(file); },
    [](void* file) -> int { return CloseHandle(file); },
    [](const wchar_t* from, const wchar_t* to) -> int {
        return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    },
    [](const wchar_t* path) -> int { return DeleteFileW(path); },
};

#else

std::uint64_t process_id() {
    return static_cast<std::uint64_t>(::getpid());
}

PathKind kind_of(const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return PathKind::regular;
    if (S_ISDIR(st.st_mode))
        return PathKind::directory;
    return PathKind::other;
}

bool process_alive(std::uint64_t pid) {
    if (pid == 0 || pid > static_cast<std::uint64_t>(INT32_MAX))
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The permissions a new file gets: 0666 less the umask. /proc tells the umask without
// changing it; umask() reads it only by setting it, which a file made by another thread at
// that moment would see.
mode_t new_file_mode() {
    mode_t mask = 0;
    bool found = false;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
                found = true;
            }
        std::fclose(status);
    }
    if (!found) {
        mask = ::umask(022);
        ::umask(mask);
    }
    return 0666 & ~mask;
}

// What a write of a path replaces: the path itself, or the end of its chain of links.
struct Target {
    std::string path;
    bool exists = false;
    struct stat st {};
};

// 0, or the errno of why the link at `path` cannot be read.
int read_link(const std::string& path, std::string& to) {
    to.assign(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n < 0)
            return errno;
        if (static_cast<std::size_t>(n) < to.size()) {
            to.resize(static_cast<std::size_t>(n));
            return 0;
        }
        to.resize(to.size() * 2);
    }
}

// 0, or the errno of why the target of a write of `path` cannot be found. A link is followed
// only where the kernel's protected_symlinks would follow it on open: in a sticky folder that
// others may write to (/tmp), a link planted by another user would lead the write to any file
// this process may replace.
int find_target(const std::string& path, Target& target) {
    target.path = path;
    for (int hop = 0; hop < 40; ++hop) {
        if (::lstat(target.path.c_str(), &target.st) != 0) {
            target.exists = false;
            return errno == ENOENT ? 0 : errno;
        }
        target.exists = true;
        if (!S_ISLNK(target.st.st_mode))
            return 0;
        struct stat folder {};
        if (::stat(folder_part(target.path).c_str(), &folder) != 0)
            return errno;
        const bool shared = (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
        if (shared && target.st.st_uid != ::geteuid() && target.st.st_uid != folder.st_uid)
            return EACCES;
        std::string to;
        if (const int e = read_link(target.path, to); e != 0)
            return e;
        if (to.empty())
            return ENOENT;
        target.path = to.front() == '/' ? to : std::string(prefix_part(target.path)) + to;
    }
    return ELOOP;
}

Status examine(const std::string& path, Target& target) {
    if (const int e = find_target(path, target); e != 0)
        return cannot_write(path, e);
    if (!target.exists)
        return {};
    // A rename over a device or a FIFO would put a regular file in its place (as root, over
    // /dev/null itself).
    if (S_ISDIR(target.st.st_mode))
        return cannot_write(path, EISDIR);
    if (!S_ISREG(target.st.st_mode))
        return cannot_write(path, EEXIST);
    // A file nobody may write to is one its owner keeps as it is; root's rename would not ask.
    if ((target.st.st_mode & 0222) == 0)
        return io_error(path, path + " is read-only", 0);
    return {};
}

// The replaced file's permissions and owner, or a new file's permissions. Only root gives a
// file to another user; a normal user's file keeps the process's user (and the group, when it
// is not one of the user's).
int take_mode_and_owner(const SystemCalls& calls, int fd, const Target& target) {
    mode_t mode = new_file_mode();
    if (target.exists) {
        mode = target.st.st_mode & 0777;
        const auto refused = [] { return errno == EPERM || errno == EINVAL; };
        if (calls.fchown(fd, target.st.st_uid, target.st.st_gid) != 0) {
            if (!refused())
                return errno;
            if (calls.fchown(fd, static_cast<uid_t>(-1), target.st.st_gid) != 0 && !refused())
                return errno;
        }
    }
    return calls.fchmod(fd, mode) == 0 ? 0 : errno;
}

// A folder and everything in it, each name taken relative to the folder opened without
// following a link, so that a link inside is removed as a link and never entered.
void remove_tree_at(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
        } else {
            std::vector<std::pair<std::string, bool>> inside;
            while (const dirent* e = ::readdir(dir)) {
                const std::string entry = e->d_name;
                if (entry == "." || entry == "..")
                    continue;
                struct stat st {};
                const bool folder =
                    ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
                inside.emplace_back(entry, folder);
            }
            for (const auto& [entry, folder] : inside) {
                if (folder)
                    remove_tree_at(fd, entry.c_str());
                else
                    ::unlinkat(fd, entry.c_str(), 0);
            }
            ::closedir(dir);
        }
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// Only files and folders of the process's own user: in a shared folder another user's name of
// this form is not ours to remove.
void remove_leftovers(const std::string& path) {
    const std::string_view target = file_part(path);
    DIR* dir = ::opendir(folder_part(path).c_str());
    if (dir == nullptr)
        return;
    const int dfd = ::dirfd(dir);
    const std::uint64_t self = process_id();
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir)) {
        std::uint64_t pid = 0;
        if (is_temporary_of(e->d_name, target, pid) && pid != self && !process_alive(pid))
            found.emplace_back(e->d_name);
    }
    for (const std::string& name : found) {
        struct stat st {};
        if (::fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid())
            continue;
        if (S_ISREG(st.st_mode))
            ::unlinkat(dfd, name.c_str(), 0);
        else if (S_ISDIR(st.st_mode))
            remove_tree_at(dfd, name.c_str());
    }
    ::closedir(dir);
}

const SystemCalls posix_calls = {
    [](char* name_template) { return ::mkostemp(name_template, O_CLOEXEC); },
    ::write,
    ::fsync,
    ::fchmod,
    ::fchown,
    ::close,
    ::rename,
    ::unlink,
};

#endif

class RealFileSystem final : public FileSystem {
  public:
    explicit RealFileSystem(const SystemCalls& calls) : calls_(calls) {}
    PathInfo stat(const std::string& path) override;
    ReadStatus read(const std::string& path, FileBytes& bytes) override;
    bool list(const std::string& folder, std::vector<FolderEntry>& entries) override;
    bool make_folder(const std::string& path) override;
    Status write(const std::string& path, std::string_view content) override;
    bool remove(const std::string& path) override;
#ifdef _WIN32
    bool names_ignore_case() const override {
        return true;
    }
#endif

  private:
    SystemCalls calls_;
};

#ifdef _WIN32

PathInfo RealFileSystem::stat(const std::string& path) {
    PathInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(long_form(path).c_str(), GetFileExInfoStandard, &data))
        return info;
    info.kind = kind_of(data.dwFileAttributes);
    // 100-ns ticks since 1601 to seconds since 1970.
    const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
    info.modified = static_cast<std::int64_t>(ticks / 10000000u) - 11644473600LL;
    if (info.kind == PathKind::regular) {
        info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        HANDLE h = CreateFileW(long_form(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        info.readable = h != INVALID_HANDLE_VALUE;
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    return info;
}

ReadStatus RealFileSystem::read(const std::string& path, FileBytes& bytes) {
    bytes.size = 0;
    HANDLE h =
        CreateFileW(long_form(path).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME
                   ? ReadStatus::missing
                   : ReadStatus::unreadable;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || GetFileType(h) != FILE_TYPE_DISK ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(h);
        return ReadStatus::not_regular;
    }
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > max_file_bytes) {
        CloseHandle(h);
        return ReadStatus::too_large;
    }
    std::size_t have = 0;
    for (;;) {
        const std::size_t want =
            std::max<std::size_t>(read_block, size + 1 - std::min<std::uint64_t>(have, size));
        if (bytes.buffer.size() < have + want)
            bytes.buffer.resize(std::max(bytes.buffer.size() * 2, have + want));
        DWORD got = 0;
        const DWORD ask =
            static_cast<DWORD>(std::min<std::size_t>(bytes.buffer.size() - have, 1u << 30));
        if (!ReadFile(h, bytes.buffer.data() + have, ask, &got, nullptr)) {
            CloseHandle(h);
            return ReadStatus::unreadable;
        }
        if (got == 0)
            break;
        have += got;
        if (have > max_file_bytes) {
            CloseHandle(h);
            return ReadStatus::too_large;
        }
    }
    CloseHandle(h);
    bytes.size = have;
    return ReadStatus::ok;
}

bool RealFileSystem::list(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW data{};
    HANDLE h = FindFirstFileW(long_form(pattern).c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name = narrow(data.cFileName);
        if (name == "." || name == "..")
            continue;
        entries.push_back({std::move(name), kind_of(data.dwFileAttributes)});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return true;
}

bool RealFileSystem::make_folder(const std::string& path) {
    if (CreateDirectoryW(long_form(path).c_str(), nullptr))
        return true;
    return stat(path).kind == PathKind::directory;
}

bool RealFileSystem::remove(const std::string& path) {
    return DeleteFileW(long_form(path).c_str()) != 0;
}

Status RealFileSystem::write(const std::string& path, std::string_view content) {
    if (Status checked = check_writable(path); !checked)
        return checked;
    remove_leftovers(path);
    // A name that is taken, by whatever and whoever, is never opened: another is drawn.
    std::wstring temporary;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = long_form(temporary_name(path, process_id(), random_suffix()));
        h = calls_.create_new(temporary.c_str());
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = last_error();
            if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS)
                return cannot_write(path, errno_of(e));
        }
    }
    if (h == INVALID_HANDLE_VALUE)
        return cannot_write(path, EEXIST);
    DWORD e = 0;
    std::size_t done = 0;
    while (e == 0 && done < content.size()) {
        DWORD put = 0;
        const DWORD ask =
            static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
        if (!calls_.write(h, content.data() + done, ask, &put))
            e = last_error();
        else if (put == 0)
            e = ERROR_WRITE_FAULT;
        done += put;
    }
    if (e == 0 && !calls_.flush(h))
        e = last_error();
    if (!calls_.close(h) && e == 0)
        e = last_error();
    if (e == 0)
        e = replace_file(calls_, temporary, long_form(path));
    if (e != 0) {
        calls_.remove(temporary.c_str());
        return cannot_write(path, errno_of(e));
    }
    return {};
}

#else

PathInfo RealFileSystem::stat(const std::string& path) {
    PathInfo info;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return info;
    info.kind = kind_of(st);
    info.modified = static_cast<std::int64_t>(st.st_mtime);
    if (info.kind == PathKind::regular) {
        info.size = static_cast<std::uint64_t>(st.st_size);
        info.readable = ::access(path.c_str(), R_OK) == 0;
    }
    return info;
}

ReadStatus RealFileSystem::read(const std::string& path, FileBytes& bytes) {
    bytes.size = 0;
    // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG
                   ? ReadStatus::missing
                   : ReadStatus::unreadable;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return ReadStatus::unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::not_regular;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > max_file_bytes) {
        ::close(fd);
        return ReadStatus::too_large;
    }
    // One read of the size the file has, plus a byte to see its end; more only if it grew.
    std::size_t have = 0;
    std::size_t want = static_cast<std::size_t>(size) + 1;
    for (;;) {
        if (bytes.buffer.size() < have + want)
            bytes.buffer.resize(
                std::max(bytes.buffer.size() + bytes.buffer.size() / 2, have + want));
        const ssize_t got = ::read(fd, bytes.buffer.data() + have, bytes.buffer.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return ReadStatus::unreadable;
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
        if (have > max_file_bytes) {
            ::close(fd);
            return ReadStatus::too_large;
        }
        want = read_block;
    }
    ::close(fd);
    bytes.size = have;
    return ReadStatus::ok;
}

bool RealFileSystem::list(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return false;
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        FolderEntry entry{std::move(name), PathKind::missing};
        // The entry's type as the folder gives it; a link (followed) or an unknown type is
        // looked at.
        if (e->d_type == DT_REG) {
            entry.kind = PathKind::regular;
        } else if (e->d_type == DT_DIR) {
            entry.kind = PathKind::directory;
        } else if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) {
            entry.kind = PathKind::other;
        } else {
            struct stat st {};
            if (::fstatat(dfd, e->d_name, &st, 0) == 0)
                entry.kind = kind_of(st);
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return true;
}

bool RealFileSystem::make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    // Made by someone else in the meantime, or there all along: what counts is a folder.
    return errno == EEXIST && stat(path).kind == PathKind::directory;
}

bool RealFileSystem::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

Status RealFileSystem::write(const std::string& path, std::string_view content) {
    Target target;
    if (Status checked = examine(path, target); !checked)
        return checked;
    remove_leftovers(target.path);
    std::string temporary = temporary_name(target.path, process_id());
    const int fd = calls_.make_temporary(temporary.data());
    if (fd < 0)
        return cannot_write(path, errno);
    int e = 0;
    std::size_t done = 0;
    while (e == 0 && done < content.size()) {
        const ssize_t put = calls_.write(fd, content.data() + done, content.size() - done);
        if (put > 0)
            done += static_cast<std::size_t>(put);
        else if (put < 0 && errno != EINTR)
            e = errno;
        else if (put == 0)
            e = EIO;
    }
    if (e == 0)
        e = take_mode_and_owner(calls_, fd, target);
    if (e == 0 && calls_.fsync(fd) != 0)
        e = errno;
    if (calls_.close(fd) != 0 && e == 0)
        e = errno;
    if (e == 0 && calls_.rename(temporary.c_str(), target.path.c_str()) != 0)
        e = errno;
    if (e != 0) {
        calls_.unlink(temporary.c_str());
        return cannot_write(path, e);
    }
    // The folder is not flushed: after a power failure the name may still lead to the old
    // file, which is whole too.
    return {};
}

#endif

} // namespace

FileSystem::~FileSystem() = default;

const SystemCalls& system_calls() {
#ifdef _WIN32
    return windows_calls;
#else
    return posix_calls;
#endif
}

ReadStatus read_small_file(FileSystem& files, const std::string& path, FileBytes& bytes) {
    const PathInfo info = files.stat(path);
    if (info.kind == PathKind::regular && info.size > max_small_file_bytes) {
        bytes.size = 0;
        return ReadStatus::too_large;
    }
    return files.read(path, bytes);
}

FileSystem& real_file_system() {
    static RealFileSystem files(system_calls());
    return files;
}

std::unique_ptr<FileSystem> make_real_file_system(const SystemCalls& calls) {
    return std::make_unique<RealFileSystem>(calls);
}

#ifdef _WIN32

Status writable(const std::string& path) {
    return check_writable(path);
}

Result<std::string> make_temporary_folder(const std::string& path) {
    remove_leftovers(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string folder = temporary_name(path, process_id(), random_suffix());
        if (CreateDirectoryW(long_form(folder).c_str(), nullptr))
            return folder;
        const DWORD e = last_error();
        if (e != ERROR_ALREADY_EXISTS && e != ERROR_FILE_EXISTS)
            return cannot_write(path, errno_of(e));
    }
    return cannot_write(path, EEXIST);
}

void remove_folder_tree(const std::string& folder) {
    remove_tree(long_form(folder));
}

#else

Status writable(const std::string& path) {
    Target target;
    return examine(path, target);
}

Result<std::string> make_temporary_folder(const std::string& path) {
    remove_leftovers(path);
    std::string folder = temporary_name(path, process_id());
    if (::mkdtemp(folder.data()) == nullptr)
        return cannot_write(path, errno);
    return folder;
}

void remove_folder_tree(const std::string& folder) {
    remove_tree_at(AT_FDCWD, folder.c_str());
}

#endif

std::string temporary_name(std::string_view path, std::uint64_t pid, std::string_view suffix) {
    std::string out(prefix_part(path));
    out += '.';
    out += file_part(path);
    out += '.';
    out += std::to_string(pid);
    out += '.';
    out += suffix;
    return out;
}

bool is_temporary_of(std::string_view name, std::string_view target_name, std::uint64_t& pid) {
    // ".TARGET." then the digits, a '.' and the suffix.
    if (name.size() < target_name.size() + 2 || name[0] != '.' ||
        name.substr(1, target_name.size()) != target_name || name[1 + target_name.size()] != '.')
        return false;
    const std::string_view rest = name.substr(2 + target_name.size());
    const std::size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos)
        return false;
    const std::string_view digits = rest.substr(0, dot);
    const std::string_view suffix = rest.substr(dot + 1);
    const bool drawn = suffix.size() == suffix_length &&
                       suffix.find_first_not_of(suffix_letters) == std::string_view::npos;
    if ((!drawn && suffix != "tmp") ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    return ec == std::errc() && end == digits.data() + digits.size();
}

} // namespace sigmat::store
