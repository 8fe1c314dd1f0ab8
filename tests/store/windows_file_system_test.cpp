// The real file system on Windows: replacing a file by MoveFileExW, paths beyond MAX_PATH in
// their "\\?\" form, names found whatever their case but handed back as spelt on disk, and
// pipes and devices that are never read as files.
#ifdef _WIN32

#include "store/file_system.h"
#include "store/paths.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

namespace sigmat::store {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> names_in(FileSystem& files, const std::string& folder) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(files.list(folder, entries)) << folder;
    std::vector<std::string> names;
    for (const FolderEntry& e : entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_text(FileSystem& files, const std::string& path) {
    FileBytes bytes;
    EXPECT_EQ(files.read(path, bytes), ReadStatus::ok) << path;
    return std::string(bytes.text());
}

// C's rename fails when the target exists on Windows; the write goes through MoveFileExW and
// replaces it, over and over, CR LF and all bytes kept as they are.
TEST(WindowsFileSystem, AtomicWriteReplacesAnExistingFile) {
    TempDir dir;
    FileSystem& files = real_file_system();
    const std::string target = (dir / "HCl_DA00J00FWHM010.dat").string();
    test::write_file(target, "an older, longer result\r\n\r\n\r\n");
    const std::string contents[] = {"first\r\n", std::string("with\0nul\r\n", 10),
                                    "last\r\nline without end"};
    for (const std::string& content : contents) {
        ASSERT_TRUE(files.write(target, content));
        EXPECT_EQ(read_text(files, target), content);
        EXPECT_EQ(names_in(files, dir.str()), std::vector<std::string>{"HCl_DA00J00FWHM010.dat"})
            << "no temporary file is left";
    }
}

// A program that holds the target open without letting it be deleted (an editor, a virus
// scanner) makes the replace fail: the write reports it, the target keeps its bytes and the
// temporary file is gone.
TEST(WindowsFileSystem, ReplacingAFileHeldOpenFailsAndLeavesIt) {
    TempDir dir;
    FileSystem& files = real_file_system();
    const std::string target = (dir / "Sigmat.ini").string();
    test::write_file(target, "old\r\n");
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Status written = files.write(target, "new\r\n");
    CloseHandle(held);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().sys_errno, EACCES) << describe(written.error());
    EXPECT_EQ(read_text(files, target), "old\r\n");
    EXPECT_EQ(names_in(files, dir.str()), std::vector<std::string>{"Sigmat.ini"});
    // Let go, the same write succeeds.
    ASSERT_TRUE(files.write(target, "new\r\n"));
    EXPECT_EQ(read_text(files, target), "new\r\n");
}

// Beyond MAX_PATH (260 characters) the plain Windows calls fail; every call of the real file
// system takes such a path in the "\\?\" form, relative ones and '/' included.
TEST(WindowsFileSystem, PathLongerThanMaxPathIsWrittenAndReadBack) {
    TempDir dir;
    FileSystem& files = real_file_system();
    std::string folder = dir.str();
    std::vector<std::string> made;
    for (int i = 0; folder.size() < 300; ++i) {
        folder = join_path(folder, "Level " + std::to_string(i) + std::string(40, 'x'));
        ASSERT_TRUE(files.make_folder(folder)) << folder.size();
        EXPECT_TRUE(files.make_folder(folder)) << "a folder that is there is success";
        made.push_back(folder);
    }
    const std::string data = join_path(folder, "data");
    ASSERT_TRUE(files.make_folder(data));
    const std::string path = join_path(data, "HCl_DA00J00FWHM010.dat");
    ASSERT_GT(path.size(), std::size_t{MAX_PATH});
    ASSERT_TRUE(files.write(path, "1.0000E-01 2.0000E-17\r\n"));
    ASSERT_TRUE(files.write(path, "0.1000E+00 3.0000E-17\r\n")) << "replaced in place";
    EXPECT_EQ(read_text(files, path), "0.1000E+00 3.0000E-17\r\n");
    const PathInfo info = files.stat(path);
    EXPECT_EQ(info.kind, PathKind::regular);
    EXPECT_EQ(info.size, 23u);
    EXPECT_TRUE(info.readable);
    EXPECT_EQ(files.stat(data).kind, PathKind::directory);
    EXPECT_EQ(names_in(files, data), std::vector<std::string>{"HCl_DA00J00FWHM010.dat"});
    // The same file through '/' and through letters of the other case, named back as on disk.
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_EQ(read_text(files, slashed), "0.1000E+00 3.0000E-17\r\n");
    const std::string last = made.back().substr(made.back().find_last_of('\\') + 1);
    std::string upper = last;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    const std::string parent = made.size() > 1 ? made[made.size() - 2] : dir.str();
    EXPECT_EQ(find_in_tree(files, parent, {upper, "DATA", "hcl_da00j00fwhm010.DAT"}), path);
    // A relative path from a current directory on the way (itself short enough to be one).
    test::CwdGuard back;
    fs::current_path(fs::path(made[1]));
    const std::string relative = path.substr(made[1].size() + 1);
    EXPECT_EQ(read_text(files, relative), "0.1000E+00 3.0000E-17\r\n");
    EXPECT_TRUE(files.remove(path));
    EXPECT_EQ(files.stat(path).kind, PathKind::missing);
}

// Windows opens "adtot.dat" when asked for "adTot.dat"; the lookup still hands back the
// spelling of the folder entry, which the scripts name and the transcript shows.
TEST(WindowsFileSystem, NamesFoundWhateverTheirCaseAreSpeltAsOnDisk) {
    TempDir dir;
    test::write_file(dir / "HCl" / "AD" / "adtot.dat", "x");
    test::write_file(dir / "HCl" / "da" / "NU00" / "Da00j00.dat", "x");
    FileSystem& files = real_file_system();
    EXPECT_TRUE(files.names_ignore_case());
    EXPECT_EQ(files.stat((dir / "hcl" / "ad" / "ADTOT.DAT").string()).kind, PathKind::regular);
    const std::string s(1, path_separator);
    EXPECT_EQ(aed_total_file_path(files, dir.str(), "HCl"),
              dir.str() + s + "HCl" + s + "AD" + s + "adtot.dat");
    EXPECT_EQ(state_file_path(files, dir.str(), "DA", "hcl", 0, 0),
              dir.str() + s + "HCl" + s + "da" + s + "NU00" + s + "Da00j00.dat");
    EXPECT_EQ(state_file_path(files, dir.str(), "VE", "HCl", 0, 0),
              dir.str() + s + "HCl" + s + "VE" + s + "nu00" + s + "VE00J00.dat")
        << "from the first missing name on, the names as built";
}

// A named pipe would block a reader that waits for data: it is not read. A file above the
// ceiling is refused by its size. (NUL is not checked: Wine shows it as a disk file.)
TEST(WindowsFileSystem, PipeDeviceAndHugeFilesAreNotRead) {
    TempDir dir;
    FileSystem& files = real_file_system();
    const std::string pipe = "\\\\.\\pipe\\sigmat-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    FileBytes bytes;
    EXPECT_EQ(files.read(pipe, bytes), ReadStatus::not_regular);
    CloseHandle(server);
    const std::string huge = (dir / "huge.dat").string();
    { std::ofstream out(huge); }
    fs::resize_file(huge, max_file_bytes + 1);
    EXPECT_EQ(files.read(huge, bytes), ReadStatus::too_large);
    EXPECT_EQ(bytes.size, 0u);
    EXPECT_EQ(files.stat(huge).kind, PathKind::regular);
}

} // namespace
} // namespace sigmat::store

#endif
