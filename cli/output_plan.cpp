#include "cli/output_plan.h"

#include "cli/output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return a != "-" && b != "-" && fs::exists(b, error) && fs::equivalent(a, b, error);
}

std::string Folder(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// Whether a new file can be made in the folder: one is made and removed, as
// permissions alone do not tell (root may write everywhere, yet not in /proc
// or on a read-only mount). Empty when it can; else the reason.
std::string FolderRefusal(const std::string& folder) {
    std::error_code fsError;
    if (!fs::is_directory(folder, fsError)) return "the folder " + folder + " does not exist";
    std::string probe = (fs::path(folder) / ".glyra-probe-XXXXXX").string();
    const int descriptor = mkstemp(&probe[0]);
    if (descriptor < 0) return "the folder " + folder + " cannot be written (" + std::strerror(errno) + ")";
    close(descriptor);
    unlink(probe.c_str());
    return "";
}

// What an input is when it is no image the command can name an output for.
std::string NotAnImage(const std::string& input) {
    std::error_code fsError;
    if (fs::is_directory(input, fsError)) return input + ": is a folder, not an image";
    if (!fs::exists(input, fsError)) return input + ": " + std::strerror(ENOENT);
    const std::string extension = fs::path(input).extension().string();
    return input + ": not an image (" + (extension.empty() ? "no extension" : "a " + extension + " file") +
           "); glyra reads PNG, JPEG, TIFF and WebP";
}

// A name whose extension says one format while --format says another would
// give, say, PNG bytes in a .jpg file: refused.
bool NameAgrees(const std::string& name, ImageFormat format, std::string* error) {
    ImageFormat named;
    if (name == "-" || !FormatFromPath(name, &named) || named == format) return true;
    *error = name + ": the name says " + FormatName(named) + " but --format says " + FormatName(format) +
             "; name it ." + FormatExtension(format) + " or leave --format out";
    return false;
}

// A name the folder cannot take once ".partial" is added while it is written.
bool NameFits(const std::string& output, std::string* error) {
    const std::string name = fs::path(output).filename().string();
    const long limit = pathconf(Folder(output).c_str(), _PC_NAME_MAX);
    if (limit <= 0 || name.size() + 8 <= size_t(limit)) return true;
    *error = output + ": the name is too long for its folder (" + std::to_string(name.size()) +
             " characters; the file is written as NAME.partial first, so at most " + std::to_string(limit - 8) + ")";
    return false;
}

}  // namespace

bool ExpandPattern(const std::string& pattern, const std::string& input, ImageFormat format, long long index,
                   std::string* out, std::string* error) {
    const fs::path path(input == "-" ? "stdin" : input);
    const std::map<std::string, std::string> fields = {{"stem", path.stem().string()},
                                                       {"name", path.filename().string()},
                                                       {"ext", FormatExtension(format)},
                                                       {"dir", Folder(input)}};
    out->clear();
    for (size_t at = 0; at < pattern.size();) {
        if (pattern[at] != '{') {
            *out += pattern[at++];
            continue;
        }
        const size_t end = pattern.find('}', at);
        if (end == std::string::npos) {
            *error = pattern + ": a '{' without its '}'";
            return false;
        }
        const std::string field = pattern.substr(at + 1, end - at - 1);
        at = end + 1;
        auto known = fields.find(field);
        if (known != fields.end()) {
            *out += known->second;
            continue;
        }
        // {index} or {index:N} / {index:0N}: at least N digits, zero-padded.
        if (field == "index" || field.rfind("index:", 0) == 0) {
            const std::string width = field.size() > 6 ? field.substr(6) : "";
            if (!width.empty() && (width.size() > 2 || !std::all_of(width.begin(), width.end(), ::isdigit))) {
                *error = "{" + field + "}: the width of {index} is a number, as in {index:04}";
                return false;
            }
            std::string digits = std::to_string(index);
            const size_t wanted = width.empty() ? 0 : size_t(std::stoi(width));
            if (digits.size() < wanted) digits.insert(0, wanted - digits.size(), '0');
            *out += digits;
            continue;
        }
        *error = "{" + field + "}: no such field in an output pattern; use {stem} {name} {ext} {dir} {index} {index:04}";
        return false;
    }
    return true;
}

bool PlanOutputs(const OutputRequest& request, std::vector<PlannedFile>* plan, std::string* error) {
    plan->clear();
    std::vector<std::string> inputs = request.positionals;
    std::string target = request.output;
    if (target.empty()) {
        if (inputs.size() != 2) {
            *error = inputs.size() < 2 ? "give an input and an output file, or -o FOLDER"
                                       : "several inputs need -o FOLDER or -o PATTERN (for example -o '{stem}-stars.{ext}')";
            return false;
        }
        target = inputs.back();
        inputs.pop_back();
    }
    if (inputs.empty()) {
        *error = "no input file";
        return false;
    }
    if (std::count(inputs.begin(), inputs.end(), std::string("-")) > 1) {
        *error = "standard input can be read only once";
        return false;
    }
    const bool pattern = target.find('{') != std::string::npos;
    std::error_code fsError;
    const bool folder = !pattern && target != "-" &&
                        (fs::is_directory(target, fsError) || target.back() == '/' || inputs.size() > 1);
    ImageFormat named = ImageFormat::Png;
    if (folder && target.back() != '/' && !fs::exists(target, fsError) && FormatFromPath(target, &named)) {
        *error = target + ": names one file, and " + std::to_string(inputs.size()) +
                 " inputs cannot all be written to it; give a folder or a pattern (for example -o '" +
                 (fs::path(target).parent_path() / ("{stem}." + std::string(FormatExtension(named)))).string() + "')";
        return false;
    }
    if (target == "-" && inputs.size() > 1) {
        *error = "several inputs cannot all go to standard output";
        return false;
    }
    if (pattern) {
        std::string expanded;  // the pattern's own mistakes are the command's, not an input's
        if (!ExpandPattern(target, "x.png", ImageFormat::Png, 1, &expanded, error)) return false;
    }

    std::set<std::string> outputs;
    std::map<std::string, std::string> folders;  // checked once each
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string& input = inputs[i];
        PlannedFile file{input, target, ImageFormat::Png, {}};
        ImageFormat inputFormat = ImageFormat::Png;
        const bool inputNamed = input != "-" && FormatFromPath(input, &inputFormat);
        if (folder || pattern) {
            const std::string name = pattern ? target : (fs::path(target) / "{stem}.{ext}").string();
            const bool usesExt = name.find("{ext}") != std::string::npos;
            const long long index = request.indexStart + (long long)(i);
            if (request.format) {
                file.format = *request.format;
            } else if (usesExt) {
                if (!inputNamed) {
                    file.problem.Set(kExitBadInput,
                                     input == "-" ? "standard input: give --format for its output" : NotAnImage(input));
                    plan->push_back(file);
                    continue;
                }
                file.format = inputFormat;
            } else {
                std::string shown;
                ExpandPattern(name, input, ImageFormat::Png, index, &shown, error);
                if (!FormatFromPath(shown, &file.format)) {
                    *error = shown + ": the name shows no format (.png, .jpg, .tif, .webp); give --format or {ext}";
                    return false;
                }
            }
            if (!ExpandPattern(name, input, file.format, index, &file.output, error)) return false;
            if (request.format && !NameAgrees(file.output, *request.format, error)) return false;
        } else if (request.format) {
            file.format = *request.format;
            if (!NameAgrees(target, file.format, error)) return false;
        } else if (target == "-" || !FormatFromPath(target, &file.format)) {
            *error = target == "-" ? "writing to standard output needs --format (" + FormatNames(", ") + ")"
                                   : target + ": the output must end in .png, .jpg, .jpeg, .tif, .tiff or .webp, or give --format";
            return false;
        }
        if (file.output != "-") {
            if (!outputs.insert(fs::weakly_canonical(file.output, fsError).string()).second) {
                *error = file.output + ": two inputs would be written to the same file";
                return false;
            }
            // An existing device or pipe is written into, not made anew in its folder.
            struct stat info {};
            const bool special = stat(file.output.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
            if (special) {
                if (access(file.output.c_str(), W_OK) != 0) {
                    *error = file.output + ": cannot be written (" + std::strerror(errno) + ")";
                    return false;
                }
            } else {
                if (!NameFits(file.output, error)) return false;
                const std::string parent = Folder(file.output);
                if (!folders.count(parent)) folders[parent] = FolderRefusal(parent);
                if (!folders[parent].empty()) {
                    *error = file.output + ": " + folders[parent];
                    return false;
                }
            }
            if (!request.force && !request.skipExisting && SameFile(input, file.output)) {
                *error = file.output + " is the input; use --force to replace it";
                return false;
            }
            if (!request.force && !request.skipExisting && IsReadOnlyFile(file.output)) {
                *error = file.output + ": is read-only; use --force to replace it";
                return false;
            }
        }
        plan->push_back(file);
    }
    return true;
}
