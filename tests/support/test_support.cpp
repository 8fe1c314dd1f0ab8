#include "support/test_support.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace sigmat::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        auto candidate =
            base / ("sigmat-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            path_ = std::filesystem::canonical(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

CwdGuard::CwdGuard() : saved_(std::filesystem::current_path()) {}
CwdGuard::~CwdGuard() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::filesystem::path& path, const std::string& content) {
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    out << content;
}

std::string test_data(const std::string& name) {
    auto p = std::filesystem::path(SIGMAT_TEST_DATA) / name;
    if (!std::filesystem::exists(p))
        throw std::runtime_error("missing test data " + p.string());
    return p.string();
}

std::vector<std::string> letter_case_spellings(const std::string& name) {
    std::vector<std::string> out = {""};
    for (char ch : name) {
        std::vector<std::string> next;
        for (const auto& head : out) {
            next.push_back(head + ch);
            if (ch >= 'a' && ch <= 'z')
                next.push_back(head + static_cast<char>(ch - 'a' + 'A'));
            else if (ch >= 'A' && ch <= 'Z')
                next.push_back(head + static_cast<char>(ch - 'A' + 'a'));
        }
        out = next;
    }
    return out;
}

} // namespace sigmat::test
