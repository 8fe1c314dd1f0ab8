#include "support/test_support.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace sigmat::test {

#ifdef _WIN32
namespace {

// A test program that crashes must fail. Under Wine the debugger that takes over an unhandled
// exception ends the program from outside, and its exit code is then at times 0; the program
// ends itself here instead, with the exception's code.
LONG WINAPI end_on_unhandled_exception(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    std::fprintf(stderr, "unhandled exception 0x%08lx\n", static_cast<unsigned long>(code));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[maybe_unused]] const bool crash_ends_the_program =
    (SetUnhandledExceptionFilter(end_on_unhandled_exception), true);

} // namespace
#endif

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

void set_environment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    // An empty value removes the variable.
    ::_putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

#ifdef _WIN32

namespace {

// One argument as the C runtime of the started program splits it back out of the command
// line: quoted when it holds a blank or a quote, backslashes doubled before a quote.
std::string quoted_argument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

HANDLE inheritable_file(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.string().c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int run_program(const ProgramCall& call) {
    std::string command = quoted_argument(call.program);
    for (const std::string& arg : call.args)
        command += " " + quoted_argument(arg);
    // The program inherits this process's environment, changed for the time of the start.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const auto& [name, value] : call.environment) {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        set_environment(name, value);
    }
    HANDLE in = inheritable_file("NUL", false);
    HANDLE out = inheritable_file(call.out, true);
    HANDLE err = call.err.empty() ? out : inheritable_file(call.err, true);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const std::string cwd = call.cwd.string();
    const bool started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE &&
                         err != INVALID_HANDLE_VALUE &&
                         CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
        set_environment(it->first, it->second);
    for (HANDLE h : {in, out, err == out ? INVALID_HANDLE_VALUE : err})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (!started)
        return -1;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return ended ? static_cast<int>(code) : -1;
}

#else

int run_program(const ProgramCall& call) {
    std::vector<std::string> args{call.program};
    args.insert(args.end(), call.args.begin(), call.args.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    // The environment is put together before the fork: the child only opens files and starts.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool changed = false;
        for (const auto& change : call.environment)
            changed = changed || change.first == name;
        if (!changed)
            env.push_back(entry);
    }
    for (const auto& [name, value] : call.environment)
        if (value)
            env.push_back(name + "=" + *value);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string cwd = call.cwd.string();
    const std::string out = call.out.string();
    const std::string err = call.err.string();

    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const int in_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int err_fd =
            err.empty() ? out_fd
                        : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || ::dup2(in_fd, 0) < 0 ||
            ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0 ||
            (!cwd.empty() && ::chdir(cwd.c_str()) != 0))
            ::_exit(127);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

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
