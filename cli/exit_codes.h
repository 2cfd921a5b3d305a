// The command's exit statuses, and a failure as the command reports it.
#pragma once

#include <string>

enum ExitCode : int {
    kExitDone = 0,
    kExitSomeFailed = 1,    // several files, not all done, failing for different reasons
    kExitUsage = 2,         // an option, a preset or the output naming is wrong
    kExitBadInput = 3,      // an input cannot be read: missing, not an image, truncated or corrupt
    kExitCannotWrite = 4,   // an output cannot be written
    kExitTooLarge = 5,      // an image is too large for the limits, or memory ran out
    kExitFilterFailed = 6,  // the plug-in answered with an error
    kExitCancelled = 130,   // Ctrl-C
};

struct Failure {
    int code = kExitDone;
    std::string message;  // one line, naming the file

    bool Set(int failureCode, std::string text) {
        code = failureCode;
        message = std::move(text);
        return false;
    }
};
