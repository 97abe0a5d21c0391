#include "file_size_limit.h"

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

bool canLimitFileSize() { return false; }

int runWithFileSizeLimit(qint64, const std::function<bool()> &) { return -1; }

#else

bool canLimitFileSize() { return true; }

int runWithFileSizeLimit(qint64 limitBytes, const std::function<bool()> &body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(limitBytes), rlim_t(limitBytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(body() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif
