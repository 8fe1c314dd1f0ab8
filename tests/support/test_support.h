// Helpers shared by the test programs: temporary folders, whole-file reads and writes,
// and a guard that restores the process's current directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sigmat::test {

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Keeps the current directory of the process and puts it back on destruction.
class CwdGuard {
  public:
    CwdGuard();
    ~CwdGuard();
    CwdGuard(const CwdGuard&) = delete;
    CwdGuard& operator=(const CwdGuard&) = delete;

  private:
    std::filesystem::path saved_;
};

std::string read_file(const std::filesystem::path& path);
// Writes `content` exactly, making the parent folders first.
void write_file(const std::filesystem::path& path, const std::string& content);
std::string test_data(const std::string& name); // path of a fixture in tests/data
// Every spelling of `name` with its ASCII letters in either case, `name` itself first.
std::vector<std::string> letter_case_spellings(const std::string& name);

} // namespace sigmat::test
