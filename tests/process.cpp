// SPDX-License-Identifier: MIT
#include "process.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace prefixdb::test {
namespace {

constexpr uid_t nobody = 65534;
constexpr int poll_timeout_ms = 20000;

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::vector<char*> pointers_to(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

[[noreturn]] void give_up(const char* message) {
    static_cast<void>(write(STDERR_FILENO, message, std::strlen(message)));
    _exit(125);
}

// Runs in the forked child: only async-signal-safe calls until the exec.
[[noreturn]] void start_child(const Launch& launch, char* const* argv, char* const* envp, int in,
                              int out, int err, int terminal) {
    dup2(in, STDIN_FILENO);
    switch (launch.output) {
    case Output::pipe:
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        break;
    case Output::closed:
        close(STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        break;
    case Output::file:
    case Output::shared_file: {
        dup2(err, STDERR_FILENO);
        const int file = open(launch.output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (file < 0) {
            give_up("cannot create output file\n");
        }
        dup2(file, STDOUT_FILENO);
        if (launch.output == Output::shared_file) {
            dup2(file, STDERR_FILENO);
        }
        close(file);
        break;
    }
    case Output::terminal:
        setsid();
        ioctl(terminal, TIOCSCTTY, 0);
        dup2(terminal, STDOUT_FILENO);
        dup2(terminal, STDERR_FILENO);
        close(terminal);
        break;
    }
    if (!launch.directory.empty() && chdir(launch.directory.c_str()) != 0) {
        give_up("cannot change directory\n");
    }
    if (launch.without_proc && (unshare(CLONE_NEWNS) != 0 ||
                                mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                                mount("none", "/proc", "tmpfs", 0, nullptr) != 0)) {
        give_up("cannot hide /proc\n");
    }
    if (launch.unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) {
        give_up("cannot drop privileges\n");
    }
    execve(launch.program.c_str(), argv, envp);
    give_up("cannot execute the program\n");
}

void drain(int out, int err, Result& result) {
    std::array<pollfd, 2> fds{{{out, POLLIN, 0}, {err, POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    std::array<char, 65536> chunk{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const int ready = poll(fds.data(), fds.size(), poll_timeout_ms);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            throw std::runtime_error("the program produced no output and did not end");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = read(fds[i].fd, chunk.data(), chunk.size());
            if (got > 0) {
                sinks[i]->append(chunk.data(), static_cast<std::size_t>(got));
            } else {
                // End of file on a pipe, or EIO on a terminal whose last user has gone.
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
}

} // namespace

Result run(const Launch& launch) {
    std::vector<std::string> words = launch.argv;
    std::vector<char*> argv = pointers_to(words);
    std::vector<std::string> variables = launch.environment;
    std::vector<char*> own_environment = pointers_to(variables);
    char* const* envp = launch.environment.empty() ? environ : own_environment.data();

    std::array<int, 2> in{};
    std::array<int, 2> out{};
    std::array<int, 2> err{};
    if (pipe2(in.data(), O_CLOEXEC) != 0 || pipe2(out.data(), O_CLOEXEC) != 0 ||
        pipe2(err.data(), O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    int terminal_master = -1;
    int terminal = -1;
    if (launch.output == Output::terminal &&
        openpty(&terminal_master, &terminal, nullptr, nullptr, nullptr) != 0) {
        fail("openpty");
    }

    const pid_t child = fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        start_child(launch, argv.data(), envp, in[0], out[1], err[1], terminal);
    }

    // Standard input stays open and empty, so a program that read it would hang, not finish.
    close(in[0]);
    close(out[1]);
    close(err[1]);
    Result result{};
    try {
        if (launch.output == Output::terminal) {
            close(terminal);
            close(out[0]);
            drain(terminal_master, err[0], result);
        } else {
            drain(out[0], err[0], result);
        }
    } catch (...) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        throw;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    close(in[1]);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool privileged() {
    return geteuid() == 0;
}

} // namespace prefixdb::test
