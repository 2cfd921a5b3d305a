#include "cli/preset_file.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/parameter_values.h"
#include "core/version.h"

bool ReadPreset(const std::string& path, FilterParameters* parameters, bool named[kParameterCount],
                std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    toml::table table;
    try {
        table = toml::parse(file, path);
    } catch (const toml::parse_error& failure) {
        std::ostringstream text;
        text << path << ", line " << failure.source().begin.line << ": " << failure.description();
        *error = text.str();
        return false;
    }
    std::vector<std::string> known;
    for (const ParameterInfo& info : kParameterTable) known.push_back(CommandName(info));
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        const std::string where = path + ", line " + std::to_string(node.source().begin.line) + ": ";
        const ParameterInfo* info = ParameterByCommandName(name);
        if (!info) {
            const std::string nearest = NearestName(name, known);
            *error = where + "unknown parameter \"" + name + "\"" +
                     (nearest.empty() ? "" : "; did you mean \"" + nearest + "\"?");
            return false;
        }
        std::string text;
        if (const auto* number = node.as_integer())
            text = std::to_string(number->get());
        else if (const auto* string = node.as_string())
            text = string->get();
        else if (const auto* floating = node.as_floating_point())
            text = (std::ostringstream() << floating->get()).str();
        else {
            *error = where + name + " must be a number" +
                     (info->kind == ParameterKind::Enumerated ? " or a name in quotes" : "");
            return false;
        }
        int16_t value = 0;
        std::string problem;
        if (!ParseParameterValue(*info, text, &value, &problem)) {
            *error = where + name + ": " + problem;
            return false;
        }
        parameters->*info->field = value;
        named[info - kParameterTable] = true;
    }
    return true;
}

bool IsPresetFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return true;  // empty: nothing to lose
    FilterParameters parameters{};
    bool named[kParameterCount] = {};
    std::string error;
    // Only a file that reads as a preset: TOML naming nothing but parameters.
    return text.find('\0') == std::string::npos && ReadPreset(path, &parameters, named, &error);
}

std::string PresetText(const FilterParameters& parameters) {
    std::ostringstream text;
    text << "# glyra " GLYRA_VERSION_TEXT " preset: the thirteen filter parameters (see glyra --help)\n";
    for (const ParameterInfo& info : kParameterTable) {
        const int16_t value = parameters.*info.field;
        text << CommandName(info) << " = ";
        if (info.kind == ParameterKind::Enumerated)
            text << '"' << ParameterValueText(info, value) << '"';
        else
            text << value;
        text << '\n';
    }
    return text.str();
}
