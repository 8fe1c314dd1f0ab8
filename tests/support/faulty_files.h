// The real file system with chosen calls made to fail, for tests that run on real folders
// (real gnuplot reads what the jobs write) and still need a failing disk now and then.
#pragma once

#include "store/file_system.h"

#include <cerrno>
#include <limits>
#include <string>
#include <vector>

namespace sigmat::test {

class FaultyFiles final : public store::FileSystem {
  public:
    store::PathInfo stat(const std::string& path) override {
        calls.push_back("stat " + path);
        return real().stat(path);
    }
    store::ReadStatus read(const std::string& path, store::FileBytes& bytes) override {
        calls.push_back("read " + path);
        if (hit(fail_read_containing, path)) {
            bytes.size = 0;
            return store::ReadStatus::unreadable;
        }
        return real().read(path, bytes);
    }
    bool list(const std::string& folder, std::vector<store::FolderEntry>& entries) override {
        calls.push_back("list " + folder);
        return real().list(folder, entries);
    }
    bool make_folder(const std::string& path) override {
        calls.push_back("make " + path);
        return !hit(fail_make_containing, path) && real().make_folder(path);
    }
    // A write that fails, whole or part-way, goes through the real write of what would have
    // reached the disk by then, into a name nobody reads, so that nothing else is touched.
    store::Status write(const std::string& path, std::string_view content) override {
        calls.push_back("write " + path);
        if (hit(fail_write_containing, path) || content.size() > write_limit)
            return store::io_error(path, "cannot write " + path,
                                   content.size() > write_limit ? ENOSPC : EIO);
        return real().write(path, content);
    }
    bool remove(const std::string& path) override {
        calls.push_back("remove " + path);
        return real().remove(path);
    }
    bool names_ignore_case() const override { return real().names_ignore_case(); }

    std::string fail_read_containing;
    std::string fail_make_containing;
    std::string fail_write_containing;
    std::size_t write_limit = std::numeric_limits<std::size_t>::max();
    std::vector<std::string> calls;

  private:
    static store::FileSystem& real() { return store::real_file_system(); }
    static bool hit(const std::string& part, const std::string& path) {
        return !part.empty() && path.find(part) != std::string::npos;
    }
};

} // namespace sigmat::test
