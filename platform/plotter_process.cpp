#include "platform/plotter_process.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace sigmat::platform {
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
constexpr std::size_t error_output_kept = std::size_t{64} * 1024;

#ifndef _WIN32
bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}
#endif

} // namespace

std::string resolve_plotter_program(const std::string& program) {
#ifdef _WIN32
    if (std::filesystem::is_regular_file(program))
        return program;
    std::string bare = std::filesystem::path(program).filename().string();
    if (bare.empty())
        return {};
    // Only the folders on PATH: without them, the search would also look in the work folder.
    const char* path = std::getenv("PATH");
    if (!path || !*path)
        return {};
    char found[MAX_PATH];
    const DWORD length = SearchPathA(path, bare.c_str(), nullptr, MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return found;
#else
    if (is_executable_file(program))
        return program;
    std::string bare = std::filesystem::path(program).filename().string();
    if (bare.empty() || bare.find('/') != std::string::npos)
        return {};
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        std::size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + bare;
        if (is_executable_file(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            break;
        dirs.remove_prefix(colon + 1);
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

PlotterResult run_plotter_process(const std::string& program, const std::string& script,
                                  const std::function<void()>& while_waiting) {
    std::string exe = resolve_plotter_program(program);
    if (exe.empty())
        return {PlotterStatus::not_started, {}};
    // The plotter's error output comes through a pipe (as on Linux, so that a script error
    // can be shown); its input and output are the null device.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE err_read = nullptr;
    HANDLE err_write = nullptr;
    if (!CreatePipe(&err_read, &err_write, &inherit, 0))
        return {PlotterStatus::not_started, {}};
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
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
    si.hStdError = err_write;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &si, &pi);
    CloseHandle(err_write);
    for (HANDLE h : {null_in, null_out})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (!started) {
        CloseHandle(err_read);
        return {PlotterStatus::not_started, {}};
    }
    CloseHandle(pi.hThread);
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
    if (code != 0)
        return {PlotterStatus::reported_error, last_lines(errors, error_lines_shown)};
    return {PlotterStatus::finished, {}};
}

#else

PlotterResult run_plotter_process(const std::string& program, const std::string& script,
                                  const std::function<void()>& while_waiting) {
    auto env = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v)
            return std::nullopt;
        return std::string(v);
    };
    if (!plotter_can_show(env))
        return {PlotterStatus::not_started, {}};
    std::string exe = resolve_plotter_program(program);
    if (exe.empty())
        return {PlotterStatus::not_started, {}};

    int err_pipe[2];
    if (::pipe(err_pipe) != 0)
        return {PlotterStatus::not_started, {}};
    ::fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
    // Non-blocking: a helper process of the plotter may keep the pipe open after it ends.
    ::fcntl(err_pipe[0], F_SETFL, ::fcntl(err_pipe[0], F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, err_pipe[1]);

    std::string arg_e = "-e";
    std::string arg_pause = "set mouse; pause mouse close";
    std::string arg0 = exe;
    std::string arg1 = script;
    char* argv[] = {arg0.data(), arg1.data(), arg_e.data(), arg_pause.data(), nullptr};
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(err_pipe[1]);
    if (rc != 0) {
        ::close(err_pipe[0]);
        return {PlotterStatus::not_started, {}};
    }

    std::string errors;
    bool pipe_open = true;
    int status = 0;
    while (true) {
        if (pipe_open) {
            pollfd pfd{err_pipe[0], POLLIN, 0};
            int ready = ::poll(&pfd, 1, 20);
            if (ready > 0) {
                char buf[4096];
                ssize_t got = ::read(err_pipe[0], buf, sizeof buf);
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
        while ((got = ::read(err_pipe[0], buf, sizeof buf)) > 0)
            errors.append(buf, static_cast<std::size_t>(got));
    }
    ::close(err_pipe[0]);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return {PlotterStatus::reported_error, last_lines(errors, error_lines_shown)};
    return {PlotterStatus::finished, {}};
}

#endif

} // namespace sigmat::platform
