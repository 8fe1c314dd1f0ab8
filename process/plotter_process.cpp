#include "process/plotter_process.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace sigmat::process {
namespace {

// The last few non-empty lines of the plotter's error output.
std::string last_lines(const std::string& text, std::size_t count) {
    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        rest.remove_prefix(nl + 1);
    }
    std::size_t first = lines.size() > count ? lines.size() - count : 0;
    std::string out;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!out.empty())
            out += '\n';
        out += lines[i];
    }
    return out;
}

constexpr std::size_t error_lines_shown = 8;

// `path` as seen from `directory`: absolute paths as they are.
std::string in_directory(const std::string& directory, const std::string& path) {
#ifdef _WIN32
    const bool absolute = (path.size() >= 3 && path[1] == ':') ||
                          (!path.empty() && (path[0] == '\\' || path[0] == '/'));
    const char separator = '\\';
#else
    const bool absolute = !path.empty() && path[0] == '/';
    const char separator = '/';
#endif
    if (absolute || directory.empty())
        return path;
    std::string out = directory;
    if (out.back() != separator && out.back() != '/')
        out += separator;
    return out + path;
}
constexpr std::size_t error_output_kept = std::size_t{64} * 1024;

#ifndef _WIN32
bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}
#endif

} // namespace

std::vector<std::string> search_folders(std::string_view path) {
#ifdef _WIN32
    constexpr char list_separator = ';';
#else
    constexpr char list_separator = ':';
#endif
    std::vector<std::string> folders;
    while (true) {
        const std::size_t end = path.find(list_separator);
        const std::string_view dir = path.substr(0, end);
        if (!dir.empty() && dir != ".")
            folders.emplace_back(dir);
        if (end == std::string_view::npos)
            break;
        path.remove_prefix(end + 1);
    }
    return folders;
}

std::string resolve_plotter_program(const std::string& directory, const std::string& program) {
    // A name without a folder of its own is a program to look up on PATH, never a file of the
    // current folder (a database folder could ship a "gnuplot" of its own).
    const bool bare_name = program.find_first_of(
#ifdef _WIN32
                               "/\\:"
#else
                               "/"
#endif
                               ) == std::string::npos;
    if (!bare_name || !directory.empty()) {
        const std::string located = in_directory(directory, program);
#ifdef _WIN32
        if (std::filesystem::is_regular_file(located))
            return located;
#else
        if (is_executable_file(located))
            return located;
#endif
    }
    const std::string bare = std::filesystem::path(program).filename().string();
    if (bare.empty())
        return {};
    const char* path = std::getenv("PATH");
#ifdef _WIN32
    // Only the folders on PATH: without them, the search would also look in the work folder
    // and in the folder of Sigmat itself.
    std::string folders;
    for (const std::string& dir : search_folders(path ? path : ""))
        folders += (folders.empty() ? "" : ";") + dir;
    if (folders.empty())
        return {};
    char found[MAX_PATH];
    const DWORD length =
        SearchPathA(folders.c_str(), bare.c_str(), nullptr, MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return found;
#else
    for (const std::string& dir : search_folders(path ? path : "/usr/local/bin:/usr/bin:/bin")) {
        const std::string candidate = dir + "/" + bare;
        if (is_executable_file(candidate))
            return candidate;
    }
    return {};
#endif
}

bool plotter_can_show(const std::function<std::optional<std::string>(const char*)>& env) {
#ifdef _WIN32
    (void)env;
    return true;
#else
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "GNUTERM"}) {
        auto v = env(name);
        if (v && !v->empty())
            return true;
    }
    return false;
#endif
}

#ifdef _WIN32

PlotterResult run_plotter_process(const std::string& directory, const std::string& program,
                                  const std::string& script,
                                  const std::function<void()>& while_waiting, bool wait) {
    std::string exe = resolve_plotter_program(directory, program);
    if (exe.empty())
        return {PlotterStatus::not_started, {}};
    // The plotter starts in `directory`: a program path relative to ours is made absolute.
    std::error_code ec;
    if (!std::filesystem::path(exe).is_absolute()) {
        const std::filesystem::path full = std::filesystem::absolute(exe, ec);
        if (!ec)
            exe = full.string();
    }
    // The plotter's error output comes through a pipe (as on Linux, so that a script error
    // can be shown); its input and output are the null device. Without waiting, nobody reads
    // the errors: they go to the null device too.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE err_read = nullptr;
    HANDLE err_write = nullptr;
    if (wait) {
        if (!CreatePipe(&err_read, &err_write, &inherit, 0))
            return {PlotterStatus::not_started, {}};
        SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE null_in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    HANDLE null_out = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr);
    // The command line: the program path in double quotes, one blank, the script name.
    std::string command = "\"" + exe + "\" " + script;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = null_in;
    si.hStdOutput = null_out;
    si.hStdError = wait ? err_write : null_out;
    PROCESS_INFORMATION pi{};
    // A plotter that is not waited for runs on in a process group of its own, so that a
    // Ctrl-C in Sigmat's console does not end it.
    const DWORD flags = wait ? 0 : CREATE_NEW_PROCESS_GROUP;
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, flags, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &si, &pi);
    if (wait)
        CloseHandle(err_write);
    for (HANDLE h : {null_in, null_out})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (!started) {
        if (wait)
            CloseHandle(err_read);
        return {PlotterStatus::not_started, {}};
    }
    CloseHandle(pi.hThread);
    if (!wait) {
        CloseHandle(pi.hProcess);
        return {PlotterStatus::finished, {}};
    }
    std::string errors;
    const auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(err_read, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buf[4096];
            DWORD got = 0;
            if (!ReadFile(err_read, buf, sizeof buf, &got, nullptr) || got == 0)
                break;
            errors.append(buf, got);
            if (errors.size() > error_output_kept)
                errors.erase(0, errors.size() - error_output_kept);
        }
    };
    while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
        drain();
        if (while_waiting)
            while_waiting();
    }
    drain();
    CloseHandle(err_read);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    if (code != 0) {
        std::string shown = last_lines(errors, error_lines_shown);
        if (shown.empty())
            shown = "(exit status " + std::to_string(code) + ")";
        return {PlotterStatus::reported_error, shown};
    }
    return {PlotterStatus::finished, {}};
}

PlotterResult run_plotter_on_text(const std::string& directory, const std::string& program,
                                  const std::string& script_text, bool wait) {
    // The script goes through a file of the temporary folder, named on the command line.
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 1];
    if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, "sgm", 0, name) == 0)
        return {PlotterStatus::not_started, {}};
    FILE* file = std::fopen(name, "wb");
    if (file == nullptr)
        return {PlotterStatus::not_started, {}};
    const bool written =
        std::fwrite(script_text.data(), 1, script_text.size(), file) == script_text.size();
    if (std::fclose(file) != 0 || !written)
        return {PlotterStatus::not_started, {}};
    PlotterResult result = run_plotter_process(directory, program, name, {}, wait);
    if (wait)
        DeleteFileA(name);
    return result;
}

void ignore_file_size_signal() {}

#else

namespace {

// Plotters started without waiting, reaped when they have ended.
std::vector<pid_t>& unwaited() {
    static std::vector<pid_t> pids;
    return pids;
}

void reap_unwaited() {
    auto& pids = unwaited();
    pids.erase(std::remove_if(pids.begin(), pids.end(),
                              [](pid_t pid) {
                                  int status = 0;
                                  return ::waitpid(pid, &status, WNOHANG) != 0;
                              }),
               pids.end());
}

} // namespace

void ignore_file_size_signal() {
    ::signal(SIGXFSZ, SIG_IGN);
}

namespace {

// Reads the plotter's error output while it runs, until it ends; the lines to show.
PlotterResult wait_for(pid_t pid, int err_fd, const std::function<void()>& while_waiting);

// Starts `exe` with `args` in `directory`: standard input from `input` (a pipe's read end) or
// the null device, standard output to the null device, standard error into `errors` (a pipe's
// write end) or the null device. A plotter that is not waited for gets a session of its own,
// so that it outlives Sigmat's; the signals Sigmat ignores get their default back. 0 when it
// could not be started.
pid_t spawn(const std::string& directory, const std::string& exe, std::vector<std::string> args,
            int input, int errors, bool own_session) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, 0);
        posix_spawn_file_actions_addclose(&actions, input);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errors >= 0) {
        posix_spawn_file_actions_adddup2(&actions, errors, 2);
        posix_spawn_file_actions_addclose(&actions, errors);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGDEF;
    if (own_session)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // The child changes into `directory` before it runs the program: it gets the full path.
    std::error_code ec;
    const std::string run = exe.front() == '/' ? exe : std::filesystem::absolute(exe, ec).string();
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, run.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return rc == 0 ? pid : 0;
}

// A pipe whose end `kept` (0: read, 1: write) stays with Sigmat: closed on exec, and not
// blocking when it is the read end.
bool make_pipe(int (&fds)[2], int kept) {
    if (::pipe(fds) != 0)
        return false;
    ::fcntl(fds[kept], F_SETFD, FD_CLOEXEC);
    if (kept == 0)
        ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    return true;
}

} // namespace

PlotterResult run_plotter_on_text(const std::string& directory, const std::string& program,
                                  const std::string& script_text, bool wait) {
    std::string exe = resolve_plotter_program(directory, program);
    if (exe.empty())
        return {PlotterStatus::not_started, {}};
    reap_unwaited();
    int in_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
    if (!make_pipe(in_pipe, 1))
        return {PlotterStatus::not_started, {}};
    if (wait && !make_pipe(err_pipe, 0)) {
        ::close(in_pipe[0]);
        ::close(in_pipe[1]);
        return {PlotterStatus::not_started, {}};
    }
    const pid_t pid = spawn(directory, exe, {}, in_pipe[0], wait ? err_pipe[1] : -1, !wait);
    ::close(in_pipe[0]);
    if (wait)
        ::close(err_pipe[1]);
    if (pid == 0) {
        ::close(in_pipe[1]);
        if (wait)
            ::close(err_pipe[0]);
        return {PlotterStatus::not_started, {}};
    }
    // The script, then the end of the input. A plotter that ends early closes its end: the
    // write then fails (SIGPIPE is not wanted here) and the exit status tells the rest.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);
    for (std::size_t done = 0; done < script_text.size();) {
        const ssize_t put =
            ::write(in_pipe[1], script_text.data() + done, script_text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    ::close(in_pipe[1]);
    ::sigaction(SIGPIPE, &old, nullptr);
    if (!wait) {
        unwaited().push_back(pid);
        return {PlotterStatus::finished, {}};
    }
    return wait_for(pid, err_pipe[0], {});
}

PlotterResult run_plotter_process(const std::string& directory, const std::string& program,
                                  const std::string& script,
                                  const std::function<void()>& while_waiting, bool wait) {
    auto env = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v)
            return std::nullopt;
        return std::string(v);
    };
    if (!plotter_can_show(env))
        return {PlotterStatus::not_started, {}};
    std::string exe = resolve_plotter_program(directory, program);
    if (exe.empty())
        return {PlotterStatus::not_started, {}};
    reap_unwaited();
    int err_pipe[2] = {-1, -1};
    if (wait && !make_pipe(err_pipe, 0))
        return {PlotterStatus::not_started, {}};
    const pid_t pid = spawn(directory, exe, {script, "-e", "set mouse; pause mouse close"}, -1,
                            wait ? err_pipe[1] : -1, !wait);
    if (wait)
        ::close(err_pipe[1]);
    if (pid == 0) {
        if (wait)
            ::close(err_pipe[0]);
        return {PlotterStatus::not_started, {}};
    }
    if (!wait) {
        unwaited().push_back(pid);
        return {PlotterStatus::finished, {}};
    }
    return wait_for(pid, err_pipe[0], while_waiting);
}

namespace {

PlotterResult wait_for(pid_t pid, int err_fd, const std::function<void()>& while_waiting) {
    std::string errors;
    bool pipe_open = true;
    int status = 0;
    while (true) {
        if (pipe_open) {
            pollfd pfd{err_fd, POLLIN, 0};
            int ready = ::poll(&pfd, 1, 20);
            if (ready > 0) {
                char buf[4096];
                ssize_t got = ::read(err_fd, buf, sizeof buf);
                if (got > 0) {
                    errors.append(buf, static_cast<std::size_t>(got));
                    if (errors.size() > error_output_kept)
                        errors.erase(0, errors.size() - error_output_kept);
                } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                    pipe_open = false;
                }
            }
        } else {
            ::usleep(20000);
        }
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            break;
        if (while_waiting)
            while_waiting();
    }
    // Whatever the plotter wrote just before it ended.
    if (pipe_open) {
        char buf[4096];
        ssize_t got;
        while ((got = ::read(err_fd, buf, sizeof buf)) > 0)
            errors.append(buf, static_cast<std::size_t>(got));
    }
    ::close(err_fd);
    std::string shown = last_lines(errors, error_lines_shown);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        if (shown.empty())
            shown = "(exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return {PlotterStatus::reported_error, shown};
    }
    if (WIFSIGNALED(status)) {
        if (shown.empty())
            shown = "(ended by signal " + std::to_string(WTERMSIG(status)) + ")";
        return {PlotterStatus::reported_error, shown};
    }
    return {PlotterStatus::finished, {}};
}

} // namespace

#endif

} // namespace sigmat::process
