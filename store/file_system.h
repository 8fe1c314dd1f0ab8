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
// - Writing is whole or nothing: the bytes go to a temporary file beside the target (a name
//   starting with '.', unique to the process, ending in ".tmp"), are flushed to the disk and
//   only then renamed over the target. A write that fails at any point removes the temporary
//   file and leaves the target as it was. A target that exists and is neither a regular file
//   nor a symbolic link (a device such as /dev/null, a FIFO, a folder) is never replaced: the
//   write fails and the target stays what it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    // Writes `content` as the whole file, atomically (see above). False on any failure.
    [[nodiscard]] virtual bool write(const std::string& path, std::string_view content) = 0;
    [[nodiscard]] virtual bool remove(const std::string& path) = 0;
    // True when the file system finds a name whatever its letter case (Windows): a path
    // that can be opened may then be spelt otherwise than on disk, and only a listing of
    // its folder tells the spelling.
    [[nodiscard]] virtual bool names_ignore_case() const { return false; }
};

// The process's real file system.
FileSystem& real_file_system();

// The temporary file that a write of `path` by the process `pid` goes through:
// ".NAME.PID.tmp" in the folder of `path`.
std::string temporary_name(std::string_view path, std::uint64_t pid);

// True when `name` is a temporary file of a write of `target_name` (".TARGET.DIGITS.tmp"),
// and gives the process number it holds.
bool is_temporary_of(std::string_view name, std::string_view target_name, std::uint64_t& pid);

} // namespace sigmat::store
