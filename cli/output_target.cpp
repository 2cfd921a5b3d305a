#include "cli/output_target.h"

#include <fcntl.h>
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
    if (stat(target.finalPath.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        target.replaces = true;
        target.mode = info.st_mode & 07777;
        target.owner = info.st_uid;
        target.group = info.st_gid;
    }
    return target;
}

bool PrepareOutput(const OutputTarget& target, std::string* error) {
    if (target.streamed) return true;
    // A new file gets what the umask gives any new file; a replacement is
    // made private first and given the old file's owner, then its mode.
    const int descriptor =
        open(target.writePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, target.replaces ? 0600 : 0666);
    if (descriptor < 0) {
        *error = std::strerror(errno);
        return false;
    }
    bool kept = true;
    if (target.replaces) {
        struct stat made {};
        fstat(descriptor, &made);
        if ((made.st_uid != target.owner || made.st_gid != target.group) &&
            fchown(descriptor, target.owner, target.group) != 0) {
            *error = std::string("cannot keep its owner and group (") + std::strerror(errno) +
                     "); it was left as it is";
            kept = false;
        } else if (fchmod(descriptor, target.mode) != 0) {
            *error = std::string("cannot keep its permissions (") + std::strerror(errno) + "); it was left as it is";
            kept = false;
        }
    }
    close(descriptor);
    if (!kept) unlink(target.writePath.c_str());
    return kept;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (geteuid() == 0) return (info.st_mode & 0222) == 0;
    return access(path.c_str(), W_OK) != 0;
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

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    const OutputTarget target = ChooseOutputTarget(path);
    if (!PrepareOutput(target, error)) return false;
    FILE* file = std::fopen(target.writePath.c_str(), target.streamed ? "w" : "r+");
    if (!file) {
        *error = std::strerror(errno);
        AbandonOutput(target);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int savedErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        *error = std::strerror(written ? errno : savedErrno);
        AbandonOutput(target);
        return false;
    }
    return CommitOutput(target, error);
}
