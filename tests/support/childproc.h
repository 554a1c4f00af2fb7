// Runs a piece of a test in a child process: under a file-size limit (a full disk, as far as
// a writer can tell; SIGXFSZ ignored so the write fails instead of the process ending), as an
// unprivileged user (the tests may run as root, whom permissions do not bind), and always
// under an alarm, so that a reader that blocks ends the child instead of hanging the test.
#pragma once
#include <csignal>
#include <cstdlib>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

struct ChildOptions {
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool asNobody = false;     // only when running as root
    unsigned alarmSeconds = 20;
};

// The child's result: the body's return value (0 to 255), or -1 when the child ended by a
// signal (the alarm included) or could not be made.
inline int runInChild(const std::function<int()>& body, ChildOptions options = {})
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::alarm(options.alarmSeconds);
        std::signal(SIGXFSZ, SIG_IGN);
        if (options.fileSizeLimit != RLIM_INFINITY) {
            rlimit lim {};
            ::getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = options.fileSizeLimit;
            if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
                ::_exit(250);
        }
        if (options.asNobody && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0))
            ::_exit(251);
        ::_exit(body() & 0xff);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testutil
