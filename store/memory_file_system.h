// A file system held in memory: folders and files by path, every call recorded, and any
// call made to fail on purpose. The tests run the readers, the jobs and the start-up on it
// to see all disk traffic and every failure path without touching the disk.
//
// Paths are taken as given, with '/' or '\' as separators; "a/b" and "a\b" are the same
// path, and a trailing separator is ignored. Names are compared exactly (letter case
// counts), as on the disks Sigmat is tested against.
#pragma once

#include "store/file_system.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

// A call that is to fail: by operation and by a part of the path (empty: every path).
struct FileFault {
    enum class Op { stat, read, list, make_folder, write, remove };
    Op op = Op::read;
    std::string path_part;
    ReadStatus read_status = ReadStatus::unreadable; // what a failing read reports
    int sys_errno = EIO;                             // the reason a failing write gives
};

class MemoryFileSystem final : public FileSystem {
  public:
    PathInfo stat(const std::string& path) override;
    ReadStatus read(const std::string& path, FileBytes& bytes) override;
    bool list(const std::string& folder, std::vector<FolderEntry>& entries) override;
    bool make_folder(const std::string& path) override;
    Status write(const std::string& path, std::string_view content) override;
    bool remove(const std::string& path) override;

    // Setting up: a file with its parent folders, a folder with its parents, something that
    // is neither (a FIFO or a device).
    void add_file(const std::string& path, std::string_view content);
    void add_folder(const std::string& path);
    void add_other(const std::string& path);

    // The content of a file, or nothing.
    const std::string* file(const std::string& path) const;
    bool has_folder(const std::string& path) const;
    // Every file path, in path order.
    std::vector<std::string> files() const;

    // Every call in order, as "read PATH", "write PATH", "list PATH", "make PATH", "stat PATH",
    // "remove PATH", with the path as the caller gave it.
    const std::vector<std::string>& calls() const { return calls_; }
    void clear_calls() { calls_.clear(); }

    std::vector<FileFault> faults;
    // A write that fails after this many bytes of its content, as on a full disk (ENOSPC);
    // the target stays as it was, as with the real atomic write.
    std::size_t write_limit = std::numeric_limits<std::size_t>::max();

  private:
    static std::string key(std::string_view path);
    const FileFault* fault(FileFault::Op op, const std::string& path) const;
    bool parent_is_folder(const std::string& key) const;

    std::map<std::string, std::string> files_;
    std::set<std::string> folders_;
    std::set<std::string> others_;
    std::vector<std::string> calls_;
};

} // namespace sigmat::store
