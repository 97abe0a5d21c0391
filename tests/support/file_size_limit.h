#pragma once

#include <QtGlobal>

#include <functional>

// A full disk is simulated by running the save in a forked child whose file-size limit is set
// (RLIMIT_FSIZE, with SIGXFSZ ignored so a write past it fails instead of killing the child).
// Windows has neither fork() nor that limit.
bool canLimitFileSize();

// Runs body in such a child: 1 when body returned true, 0 when false, -1 when the child died.
int runWithFileSizeLimit(qint64 limitBytes, const std::function<bool()> &body);

#define QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT()                                                      \
    do {                                                                                           \
        if (!canLimitFileSize())                                                                   \
            QSKIP("a full disk is simulated with fork() and RLIMIT_FSIZE, which Windows lacks");   \
    } while (false)
