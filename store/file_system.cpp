#include "store/file_system.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

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

// C's rename fails over an existing file here; MoveFileExW replaces it. While another
// process replaces or opens the same name (two Sigmats saving their setup, a virus scanner
// looking at a new file) the replace is refused for a moment with a sharing or access error:
// it is tried again for up to about two seconds before the write counts as failed.
bool replace_file(const std::wstring& from, const std::wstring& to) {
    constexpr int attempts = 100;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD e = GetLastError();
        const bool passing =
            e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
        if (!passing || attempt == attempts)
            return false;
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

#endif

class RealFileSystem final : public FileSystem {
  public:
    PathInfo stat(const std::string& path) override;
    ReadStatus read(const std::string& path, FileBytes& bytes) override;
    bool list(const std::string& folder, std::vector<FolderEntry>& entries) override;
    bool make_folder(const std::string& path) override;
    bool write(const std::string& path, std::string_view content) override;
    bool remove(const std::string& path) override;
#ifdef _WIN32
    bool names_ignore_case() const override {
        return true;
    }
#endif

  private:
    void remove_leftovers(const std::string& path);
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

bool RealFileSystem::write(const std::string& path, std::string_view content) {
    remove_leftovers(path);
    const std::string temporary = temporary_name(path, process_id());
    const std::wstring wtemp = long_form(temporary);
    HANDLE h = CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        DWORD put = 0;
        const DWORD ask =
            static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 30));
        ok = WriteFile(h, content.data() + done, ask, &put, nullptr) && put > 0;
        done += put;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    ok = ok && replace_file(wtemp, long_form(path));
    if (!ok)
        DeleteFileW(wtemp.c_str());
    return ok;
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

bool RealFileSystem::write(const std::string& path, std::string_view content) {
    // A rename over a device or a FIFO would put a regular file in its place (as root, over
    // /dev/null itself).
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return false;
    remove_leftovers(path);
    const std::string temporary = temporary_name(path, process_id());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t put = ::write(fd, content.data() + done, content.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        ok = put > 0;
        if (ok)
            done += static_cast<std::size_t>(put);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The folder is not flushed: after a power failure the name may still lead to the old
    // file, which is whole too.
    return true;
}

#endif

// Temporary files of earlier writes of the same target by processes that no longer run (a
// kill or a crash in the middle of a write) are removed before the next write of it.
void RealFileSystem::remove_leftovers(const std::string& path) {
    const std::string folder = folder_part(path);
    const std::string_view target = file_part(path);
    const std::string_view prefix = std::string_view(path).substr(0, path.size() - target.size());
    std::vector<FolderEntry> entries;
    if (!list(folder, entries))
        return;
    const std::uint64_t self = process_id();
    for (const FolderEntry& e : entries) {
        std::uint64_t pid = 0;
        if (e.kind == PathKind::regular && is_temporary_of(e.name, target, pid) && pid != self &&
            !process_alive(pid))
            (void)remove(std::string(prefix) + e.name);
    }
}

} // namespace

FileSystem::~FileSystem() = default;

FileSystem& real_file_system() {
    static RealFileSystem files;
    return files;
}

std::string temporary_name(std::string_view path, std::uint64_t pid) {
    const std::string_view name = file_part(path);
    std::string out(path.substr(0, path.size() - name.size()));
    out += '.';
    out += name;
    out += '.';
    out += std::to_string(pid);
    out += ".tmp";
    return out;
}

bool is_temporary_of(std::string_view name, std::string_view target_name, std::uint64_t& pid) {
    constexpr std::string_view suffix = ".tmp";
    if (name.size() < target_name.size() + 2 + 1 + suffix.size() || name[0] != '.' ||
        name.substr(1, target_name.size()) != target_name || name[1 + target_name.size()] != '.' ||
        name.substr(name.size() - suffix.size()) != suffix)
        return false;
    const std::string_view digits =
        name.substr(2 + target_name.size(), name.size() - suffix.size() - 2 - target_name.size());
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    return ec == std::errc() && end == digits.data() + digits.size();
}

} // namespace sigmat::store
