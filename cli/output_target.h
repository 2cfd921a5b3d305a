// Where the bytes of one output go, so that the output is whole or not there:
// - a regular file (or a new name) is written as NAME.partial beside it and
//   renamed over it when complete;
// - a symbolic link's final target is written the same way, and the link stays;
// - an existing device, pipe or socket is written into directly (a rename would
//   replace it with a regular file);
// - "-" is standard output.
#pragma once

#include <string>

struct OutputTarget {
    std::string output;     // as the user named it
    std::string finalPath;  // where the image ends up (a link's target)
    std::string writePath;  // what the encoder writes to
    bool streamed = false;  // written in place: nothing to rename or remove
};

OutputTarget ChooseOutputTarget(const std::string& output);

// Puts a complete output in place; false with the reason.
bool CommitOutput(const OutputTarget& target, std::string* error);
// Removes what a failed or cancelled write left (nothing for streamed targets).
void AbandonOutput(const OutputTarget& target);
