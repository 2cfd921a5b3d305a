#include "cli/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Follows a chain of links to the path they name in the end (which need not
// exist yet); a loop or an unreadable link leaves the path as it is.
std::string FinalPath(const std::string& path) {
    fs::path at = path;
    std::error_code error;
    for (int hops = 0; hops < 40 && fs::is_symlink(at, error); ++hops) {
        const fs::path next = fs::read_symlink(at, error);
        if (error) return path;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return fs::is_symlink(at, error) ? path : at.string();
}

}  // namespace

OutputTarget ChooseOutputTarget(const std::string& output) {
    OutputTarget target{output, output, output, false};
    if (output == "-") {
        target.streamed = true;
        return target;
    }
    target.finalPath = FinalPath(output);
    struct stat info {};
    if (stat(target.finalPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        target.writePath = target.finalPath;
        target.streamed = true;
        return target;
    }
    target.writePath = target.finalPath + ".partial";
    return target;
}

bool CommitOutput(const OutputTarget& target, std::string* error) {
    if (target.streamed) return true;
    if (std::rename(target.writePath.c_str(), target.finalPath.c_str()) == 0) return true;
    *error = std::strerror(errno);
    std::remove(target.writePath.c_str());
    return false;
}

void AbandonOutput(const OutputTarget& target) {
    if (!target.streamed) std::remove(target.writePath.c_str());
}
