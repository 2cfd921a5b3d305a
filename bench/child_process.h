// Whole commands timed as the benchmark's peers and end-to-end rows: one child
// process each, its wall time and its peak resident memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct CommandOutcome {
    double seconds = 0;
    double peakMegabytes = 0;
    bool ok = false;       // exited with status 0
    std::string errors;    // what it wrote to its standard error stream
};

// Runs arguments[0] (looked up on PATH when it has no slash) with the
// arguments, its standard output discarded, with `environment` added.
CommandOutcome RunCommand(const std::vector<std::string>& arguments,
                          const std::vector<std::pair<std::string, std::string>>& environment = {});

// Whether a program of that name is on PATH.
bool OnPath(const std::string& program);
