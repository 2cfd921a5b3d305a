#include "cli/parameter_values.h"

#include "core/parameter_names.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string CommandName(const ParameterInfo& info) { return ParameterDashedName(info); }

const ParameterInfo* ParameterByCommandName(const std::string& name) {
    for (const ParameterInfo& info : kParameterTable)
        if (CommandName(info) == name) return &info;
    return nullptr;
}

bool ParseParameterValue(const ParameterInfo& info, const std::string& text, int16_t* value, std::string* error) {
    if (info.kind == ParameterKind::Enumerated) {
        const std::string lower = Lower(text);
        for (const ThresholdTypeInfo& type : kThresholdTypeTable)
            if (lower == type.name || lower == std::to_string(type.value)) {
                *value = type.value;
                return true;
            }
        *error = "\"" + text + "\" is not one of " + ParameterRangeText(info) + " (or 0 to 2)";
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(begin, &end, 10);
    if (text.empty() || end == begin || *end != '\0' || std::isspace(static_cast<unsigned char>(text[0]))) {
        *error = "\"" + text + "\" is not an integer";
        return false;
    }
    if (errno == ERANGE || number < info.minimum || number > info.maximum) {
        *error = text + " is not in " + ParameterRangeText(info);
        return false;
    }
    *value = int16_t(number);
    return true;
}

std::string ParameterValueText(const ParameterInfo& info, int16_t value) {
    if (info.kind == ParameterKind::Enumerated)
        for (const ThresholdTypeInfo& type : kThresholdTypeTable)
            if (type.value == value) return type.name;
    return std::to_string(value);
}

std::string ParameterRangeText(const ParameterInfo& info) {
    if (info.kind == ParameterKind::Enumerated) {
        std::string names;
        for (const ThresholdTypeInfo& type : kThresholdTypeTable) names += std::string(names.empty() ? "" : ", ") + type.name;
        return names;
    }
    return std::to_string(info.minimum) + ".." + std::to_string(info.maximum);
}

std::string NearestName(const std::string& typed, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = std::max<size_t>(3, typed.size() / 3) + 1;
    for (const std::string& name : known) {
        const size_t distance = EditDistance(typed, name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = name;
        }
    }
    return best;
}
