// The record a numbered batch (an output pattern with {index}) keeps beside
// its outputs, in each output folder's .glyra-frames: which input made which
// output. A batch resumed with --skip-existing after frames were added to or
// removed from its input list would otherwise keep frames made from other
// inputs under numbers that now belong to new ones; with the record it refuses.
//
// One line per output written, "OUTPUT-NAME<TAB>INPUT-NAME<TAB>SIZE<TAB>MTIME"
// (names without folders, so that moving the whole project keeps it valid);
// a later line for the same output wins.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "cli/output_plan.h"

class FrameManifest {
public:
    // Checks every planned output that exists against the records of its
    // folder; empty when all were made from the input now planned for them
    // (or the folder keeps no record, as outputs of older versions), else
    // what does not match.
    static std::string CheckResume(const std::vector<PlannedFile>& plan);

    // Records that the input made the output (thread-safe); false when the
    // record cannot be written, which costs only a later resume's check.
    bool Record(const PlannedFile& file);

private:
    std::mutex mutex_;
};
