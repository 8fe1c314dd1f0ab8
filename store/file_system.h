// Every file Sigmat reads or writes goes through this small interface: read a whole file,
// look at a path, list a folder, make a folder, write a file whole, remove a file.
//
// It is abstract so that the same readers, writers and jobs run on the real disk and on an
// in-memory twin (store/memory_file_system.h) that records every call and can make any of
// them fail, which is how the tests see all disk traffic and every failure path.
//
// Contracts shared by every implementation:
// - Reading takes regular files only. A FIFO, a device, a folder or anything else that is
//   not a regular file is `not_regular` and is never read, so that a FIFO cannot hang the
//   program and a link to /dev/zero cannot fill the memory; a file above max_file_bytes is
//   `too_large` and is not read either.
// - Writing is whole or nothing: the bytes go to a temporary file beside the target,
//   ".NAME.PID.XXXXXX" with six random letters or digits, made new for this write and
//   never one that was there before (in a folder others may write to, such as /tmp, a file
//   or link put there under that name is left alone, never written into or followed). It
//   is readable by its owner only until it has taken the mode and owner of the file it
//   replaces (the owner where the system lets the process give it; as a normal user the
//   process's own), or the mode a new file gets under the umask, is flushed to the disk and
//   only then renamed over the target. A write that fails at any point removes the
//   temporary file and leaves the target as it was, and says why in the system's words.
// - A symbolic link is written through (POSIX): the file it leads to is replaced and the link
//   stays; except a link in a sticky folder that others may write to (such as /tmp) that
//   belongs neither to the process's user nor to the folder's owner, which is not followed.
// - A target that exists and is neither a regular file nor a link to one (a device such as
//   /dev/null, a FIFO, a folder) is never replaced, nor is a file without any write
//   permission (mode 0444), not even by root: the write fails and the target stays.
// - Temporary files and folders of this form left by processes that no longer run (a kill or
//   a crash in the middle of a write) and belonging to the process's user are removed by the
//   next write of the same name; a folder without following the links inside it.
#pragma once

#include "store/error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace sigmat::store {

// Files above this size are not read (no database file comes near it).
inline constexpr std::uint64_t max_file_bytes = std::uint64_t{2} << 30;
// Lines above this length are not read as lines of a data or settings file.
inline constexpr std::size_t max_line_bytes = std::size_t{16} << 20;

enum class PathKind { missing, regular, directory, other };

struct PathInfo {
    PathKind kind = PathKind::missing;
    std::uint64_t size = 0;    // regular files only
    bool readable = false;     // a regular file that this process may open for reading
    std::int64_t modified = 0; // last modification, seconds since 1970-01-01 UTC
};

struct FolderEntry {
    std::string name;
    PathKind kind = PathKind::missing; // what the name leads to (a link is followed)
};

enum class ReadStatus {
    ok,
    missing,     // nothing of that name (or a folder on the way is missing)
    not_regular, // a folder, FIFO, device, socket
    unreadable,  // exists but cannot be opened or read (permissions, I/O error)
    too_large,   // more than max_file_bytes
};

// The bytes of a file last read. The buffer is reused from read to read and never shrinks,
// so that reading many files allocates nothing once it is large enough; only the first
// `size` bytes belong to the file.
struct FileBytes {
    std::vector<char> buffer;
    std::size_t size = 0;

    std::string_view text() const { return {buffer.data(), size}; }
};

class FileSystem {
  public:
    virtual ~FileSystem();

    [[nodiscard]] virtual PathInfo stat(const std::string& path) = 0;
    // The whole file into `bytes`, or why not. On failure `bytes.size` is 0.
    [[nodiscard]] virtual ReadStatus read(const std::string& path, FileBytes& bytes) = 0;
    // The entries of a folder (without "." and ".."), in no particular order; false when the
    // folder cannot be listed.
    [[nodiscard]] virtual bool list(const std::string& folder,
                                    std::vector<FolderEntry>& entries) = 0;
    // True when the folder exists afterwards: made now, or there already (also when another
    // process made it at the same moment). False when it cannot be made or the name is taken
    // by something that is not a folder.
    [[nodiscard]] virtual bool make_folder(const std::string& path) = 0;
    // Writes `content` as the whole file, atomically (see above). On failure an io error
    // "cannot write PATH" with the system's reason (errno), or "PATH is read-only".
    [[nodiscard]] virtual Status write(const std::string& path, std::string_view content) = 0;
    [[nodiscard]] virtual bool remove(const std::string& path) = 0;
    // True when the file system finds a name whatever its letter case (Windows): a path
    // that can be opened may then be spelt otherwise than on disk, and only a listing of
    // its folder tells the spelling.
    [[nodiscard]] virtual bool names_ignore_case() const { return false; }
};

// The system calls a real file system writes with. Each behaves as the call it is named
// after: -1 (0 on Windows) on failure with the reason in errno (GetLastError on Windows).
// Tests give a table with one of them failing; the program uses system_calls().
#ifdef _WIN32
struct SystemCalls {
    // CreateFileW for writing, never opening a file that is there (CREATE_NEW): a handle, or
    // INVALID_HANDLE_VALUE.
    void* (*create_new)(const wchar_t* path);
    int (*write)(void* file, const void* data, unsigned long size, unsigned long* written);
    int (*flush)(void* file); // FlushFileBuffers
    int (*close)(void* file);
    // MoveFileExW, replacing a file of the name `to` and flushed through.
    int (*replace)(const wchar_t* from, const wchar_t* to);
    int (*remove)(const wchar_t* path);
};
#else
struct SystemCalls {
    // mkstemp: the template's last six 'X' replaced by a name that was free, made with
    // O_EXCL and mode 0600 (and closed on exec).
    int (*make_temporary)(char* name_template);
    ssize_t (*write)(int fd, const void* data, std::size_t size);
    int (*fsync)(int fd);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t uid, gid_t gid);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
};
#endif

// The system's own calls.
const SystemCalls& system_calls();

// The process's real file system.
FileSystem& real_file_system();

// The small files a person edits (Sigmat.ini, index.dat) are not read above this size: no real
// one comes near it, and a huge one must not cost the memory of its bytes several times.
inline constexpr std::uint64_t max_small_file_bytes = std::uint64_t{1} << 20;
// Reads a small file whole; `missing`, `not_regular`, `unreadable` as read() says, and
// `too_large` above max_small_file_bytes (nothing is read then).
[[nodiscard]] ReadStatus read_small_file(FileSystem& files, const std::string& path,
                                         FileBytes& bytes);
// A real file system writing with `calls`.
std::unique_ptr<FileSystem> make_real_file_system(const SystemCalls& calls);

// Whether a write of `path` on the real disk would be refused before a byte is written (a
// folder, FIFO or device of that name, a read-only file, a link that is not followed), as
// write() would report it.
[[nodiscard]] Status writable(const std::string& path);

// A folder of its own beside `path` for files that are to take names beside it (a figure and
// its picture): ".NAME.PID.XXXXXX", made new (never one that is there) with mode 0700, after
// the leftovers of ended processes (see above) are removed. An io error "cannot write PATH"
// when it cannot be made.
[[nodiscard]] Result<std::string> make_temporary_folder(const std::string& path);

// Removes a folder with everything in it; a link inside is removed as a link, never followed.
void remove_folder_tree(const std::string& folder);

// The temporary name that a write of `path` by the process `pid` goes through:
// ".NAME.PID.SUFFIX" in the folder of `path`; with the suffix "XXXXXX" the template that
// mkstemp and mkdtemp fill in.
std::string temporary_name(std::string_view path, std::uint64_t pid,
                           std::string_view suffix = "XXXXXX");

// True when `name` is a temporary file or folder of a write of `target_name`
// (".TARGET.DIGITS.SSSSSS" with six letters or digits, or ".TARGET.DIGITS.tmp" as earlier
// versions named them), and gives the process number it holds.
bool is_temporary_of(std::string_view name, std::string_view target_name, std::uint64_t& pid);

} // namespace sigmat::store
