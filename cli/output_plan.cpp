#include "cli/output_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// The format an output is written in: --format, else its own extension,
// else the input's.
bool OutputFormat(const OutputRequest& request, const std::string& output, const std::string& input,
                  ImageFormat* format) {
    if (request.format) {
        *format = *request.format;
        return true;
    }
    if (output != "-" && FormatFromPath(output, format)) return true;
    return input != "-" && output.find("{ext}") != std::string::npos && FormatFromPath(input, format);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return a != "-" && b != "-" && fs::exists(b, error) && fs::equivalent(a, b, error);
}

std::string Folder(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

}  // namespace

std::string ExpandPattern(const std::string& pattern, const std::string& input, ImageFormat format, size_t index) {
    const fs::path path(input == "-" ? "stdin" : input);
    const std::string fields[][2] = {{"{stem}", path.stem().string()},
                                     {"{name}", path.filename().string()},
                                     {"{ext}", FormatExtension(format)},
                                     {"{dir}", Folder(input)},
                                     {"{index}", std::to_string(index)}};
    std::string out;
    for (size_t at = 0; at < pattern.size();) {
        bool replaced = false;
        for (const auto& field : fields)
            if (pattern.compare(at, field[0].size(), field[0]) == 0) {
                out += field[1];
                at += field[0].size();
                replaced = true;
                break;
            }
        if (!replaced) out += pattern[at++];
    }
    return out;
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
    if (target == "-" && inputs.size() > 1) {
        *error = "several inputs cannot all go to standard output";
        return false;
    }

    std::set<std::string> outputs;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string& input = inputs[i];
        PlannedFile file{input, target, ImageFormat::Png};
        if (folder || pattern) {
            ImageFormat format;
            if (!request.format && (input == "-" || !FormatFromPath(input, &format)) && !pattern) {
                *error = input + ": give --format for its output, as its own name shows none";
                return false;
            }
            const std::string name = pattern ? target : (fs::path(target) / "{stem}.{ext}").string();
            if (!OutputFormat(request, name, input, &file.format)) {
                *error = ExpandPattern(target, input, ImageFormat::Png, i + 1) +
                         ": the name shows no format (.png, .jpg, .tif, .webp); give --format or {ext}";
                return false;
            }
            file.output = ExpandPattern(name, input, file.format, i + 1);
        } else if (!OutputFormat(request, target, input, &file.format)) {
            *error = target == "-" ? "writing to standard output needs --format (" + std::string(kFormatNames) + ")"
                                   : target + ": the output must end in .png, .jpg, .jpeg, .tif, .tiff or .webp, or give --format";
            return false;
        }
        if (file.output != "-") {
            if (!outputs.insert(fs::weakly_canonical(file.output, fsError).string()).second) {
                *error = file.output + ": two inputs would be written to the same file";
                return false;
            }
            const std::string parent = Folder(file.output);
            if (!fs::is_directory(parent, fsError)) {
                *error = file.output + ": the folder " + parent + " does not exist";
                return false;
            }
            if (access(parent.c_str(), W_OK) != 0) {
                *error = file.output + ": the folder " + parent + " cannot be written (" + std::strerror(errno) + ")";
                return false;
            }
            if (!request.force && SameFile(input, file.output)) {
                *error = file.output + " is the input; use --force to replace it";
                return false;
            }
        }
        plan->push_back(file);
    }
    return true;
}
