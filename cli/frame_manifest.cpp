#include "cli/frame_manifest.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kManifestName = ".glyra-frames";

std::string Folder(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// What tells an input apart: its name, size and time of last change.
std::string InputIdentity(const std::string& input) {
    struct stat info {};
    if (stat(input.c_str(), &info) != 0) return "";
    const long long nanoseconds = (long long)(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return fs::path(input).filename().string() + "\t" + std::to_string((long long)(info.st_size)) + "\t" +
           std::to_string(nanoseconds);
}

// Output name -> the identity of the input that made it, as last recorded.
std::map<std::string, std::string> ReadRecords(const std::string& folder, bool* exists) {
    std::map<std::string, std::string> records;
    std::ifstream file(fs::path(folder) / kManifestName);
    *exists = bool(file);
    for (std::string line; std::getline(file, line);) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) records[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return records;
}

}  // namespace

std::string FrameManifest::CheckResume(const std::vector<PlannedFile>& plan) {
    std::map<std::string, std::map<std::string, std::string>> folders;
    std::map<std::string, bool> kept;
    for (const PlannedFile& file : plan) {
        std::error_code error;
        if (file.output == "-" || !fs::is_regular_file(file.output, error)) continue;
        const std::string folder = Folder(file.output);
        if (!folders.count(folder)) folders[folder] = ReadRecords(folder, &kept[folder]);
        if (!kept[folder]) continue;
        const auto& records = folders[folder];
        const auto record = records.find(fs::path(file.output).filename().string());
        const std::string now = InputIdentity(file.input);
        if (record != records.end() && record->second == now) continue;
        const std::string made = record == records.end() ? "no input this batch recorded"
                                                          : record->second.substr(0, record->second.find('\t'));
        return file.output + " exists, made from " + made + ", but " + file.input +
               " would go there now: the inputs changed since the earlier run. Remove the numbered outputs, or run "
               "without --skip-existing, to number them anew";
    }
    return "";
}

bool FrameManifest::Record(const PlannedFile& file) {
    if (file.output == "-" || file.input == "-") return true;
    const std::string identity = InputIdentity(file.input);
    std::lock_guard<std::mutex> lock(mutex_);
    std::ofstream out(fs::path(Folder(file.output)) / kManifestName, std::ios::app);
    out << fs::path(file.output).filename().string() << '\t' << identity << '\n';
    return bool(out);
}
