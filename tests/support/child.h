// Starting a program, or running a function, in a child process and waiting
// for it: the one runner of the command-line and seam tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char **environ;

namespace test_support {

// This process's environment without BOARD_ROOT, with extra "NAME=value"
// entries in place of any of the same name.
inline std::vector<std::string> environment_without_root(const std::vector<std::string> &extra = {}) {
    auto named = [](const char *e, const std::string &entry) {
        std::size_t n = entry.find('=') + 1;
        return std::strncmp(e, entry.c_str(), n) == 0;
    };
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        bool replaced = named(*e, "BOARD_ROOT=");
        for (const std::string &x : extra) replaced = replaced || named(*e, x);
        if (!replaced) env.push_back(*e);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// A program started with execve: argv[0] is its path. Its standard output
// and error go to the files named (created or truncated), or, for an empty
// name, into a pipe that wait() reads to its end.
class Child {
public:
    Child(std::vector<std::string> argv, std::vector<std::string> env, const std::string &out = "",
          const std::string &err = "") {
        int pipes[2][2] = {{-1, -1}, {-1, -1}};
        const std::string *files[2] = {&out, &err};
        for (int i = 0; i < 2; ++i)
            if (files[i]->empty() && pipe(pipes[i]) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            for (int i = 0; i < 2; ++i) {
                int fd = files[i]->empty()
                             ? pipes[i][1]
                             : ::open(files[i]->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                dup2(fd, i + 1);
                if (fd > 2) close(fd);
                if (pipes[i][0] >= 0) close(pipes[i][0]);
            }
            std::vector<char *> a, e;
            for (auto &s : argv) a.push_back(s.data());
            for (auto &s : env) e.push_back(s.data());
            a.push_back(nullptr);
            e.push_back(nullptr);
            execve(a[0], a.data(), e.data());
            _exit(127);
        }
        for (int i = 0; i < 2; ++i) {
            if (pipes[i][1] >= 0) close(pipes[i][1]);
            fds_[i] = pipes[i][0];
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    // The wait status; what the pipes carried goes to out and err.
    int wait(std::string *out = nullptr, std::string *err = nullptr) {
        std::string *into[2] = {out, err};
        pollfd fds[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
        int open_count = (fds_[0] >= 0) + (fds_[1] >= 0);
        while (open_count > 0 && poll(fds, 2, 10000) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) continue;
                char buf[4096];
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open_count;
                } else if (into[i] != nullptr) {
                    into[i]->append(buf, static_cast<std::size_t>(n));
                }
            }
        }
        for (auto &f : fds)
            if (f.fd >= 0) close(f.fd);
        fds_[0] = fds_[1] = -1;
        int st = 0;
        if (pid_ > 0) waitpid(pid_, &st, 0);
        pid_ = -1;
        return st;
    }
    ~Child() {
        if (pid_ > 0) wait();
    }

private:
    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
};

// Runs fn in a forked child that ends with _exit(returned) when fn returns
// (fn may also replace the process); the wait status.
inline int run_in_child(const std::function<void()> &fn, int returned) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        fn();
        _exit(returned);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return st;
}

}  // namespace test_support
