// Which file each input becomes, decided and checked before any work starts.
//
//   glyra IN OUT                 one input, one output
//   glyra IN... -o DIR           into a folder, each under its own name
//   glyra IN... -o PATTERN       names from a pattern: {stem} (the input's name without
//                                extension), {name} (with it), {ext} (the output format's
//                                extension), {dir} (the input's folder), {index} (1, 2, ...;
//                                {index:04} pads to four digits)
//   "-" is standard input or standard output; writing there needs --format.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/image_format.h"

struct PlannedFile {
    std::string input;
    std::string output;
    ImageFormat format = ImageFormat::Png;  // of the output
    // An input that cannot be worked on (not an image, a folder): it fails
    // alone, with this, and the batch goes on.
    Failure problem;
};

struct OutputRequest {
    std::vector<std::string> positionals;  // what the command line listed
    std::string output;                    // -o, or empty
    std::optional<ImageFormat> format;     // --format, when given
    bool force = false;                    // an output may replace its input or a read-only file
    bool skipExisting = false;             // existing outputs are left alone, so none is refused
    long long indexStart = 1;              // the first {index}
};

// The plan, or false with a message of what is wrong with the command as a
// whole. Checks that every output's folder exists and a file can be made in
// it, that no two outputs are the same file, that no output is its own input
// without force, and that every output has a format.
bool PlanOutputs(const OutputRequest& request, std::vector<PlannedFile>* plan, std::string* error);

// A pattern's fields filled for one input; false (with the message) for a
// field the pattern language does not have.
bool ExpandPattern(const std::string& pattern, const std::string& input, ImageFormat format, long long index,
                   std::string* out, std::string* error);
