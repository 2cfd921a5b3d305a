// Where the bytes of one output go, so that the output is whole or not there:
// - a regular file (or a new name) is written as NAME.partial beside it and
//   renamed over it when complete;
// - a symbolic link's final target is written the same way, and the link stays;
// - an existing device, pipe or socket is written into directly (a rename would
//   replace it with a regular file);
// - "-" is standard output.
// A file written over keeps what its owner set: the .partial is made with the
// old file's mode and owner before any byte goes into it, so a private file
// is never readable by others, not even while it is being written.
#pragma once

#include <sys/types.h>

#include <string>

struct OutputTarget {
    std::string output;     // as the user named it
    std::string finalPath;  // where the image ends up (a link's target)
    std::string writePath;  // what the encoder writes to
    bool streamed = false;  // written in place: nothing to rename or remove
    bool replaces = false;  // an existing regular file is written over
    mode_t mode = 0;        // the replaced file's permissions
    uid_t owner = 0;
    gid_t group = 0;
};

OutputTarget ChooseOutputTarget(const std::string& output);

// Makes the .partial with the mode and owner the output will have (those of
// the file it replaces, else the process's defaults); false with the reason,
// and nothing made, when they cannot be given (another user's file, for a
// user who may not give files away).
bool PrepareOutput(const OutputTarget& target, std::string* error);
// Puts a complete output in place; false with the reason.
bool CommitOutput(const OutputTarget& target, std::string* error);
// Removes what a failed or cancelled write left (nothing for streamed targets).
void AbandonOutput(const OutputTarget& target);

// Whether an existing file may not be written by this user (no write
// permission; for root, no write bit at all): replacing it needs --force.
bool IsReadOnlyFile(const std::string& path);

// A small file (a preset, a man page) written the same way: whole or not at all.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error);
