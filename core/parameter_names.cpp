#include "core/parameter_names.h"

std::string ParameterDashedName(const ParameterInfo& info) {
    std::string name;
    for (const char* c = info.name; *c; ++c) {
        if (*c >= 'A' && *c <= 'Z') {
            name += '-';
            name += char(*c - 'A' + 'a');
        } else {
            name += *c;
        }
    }
    return name;
}

std::string ParameterEnglishLabel(const ParameterInfo& info) {
    std::string label = ParameterDashedName(info);
    for (char& c : label)
        if (c == '-') c = ' ';
    // Component names stay as the dialog writes them (H0, H1, SP).
    for (const char* component : {"h0", "h1", "sp"})
        if (label.rfind(component, 0) == 0) {
            label[0] = char(label[0] - 'a' + 'A');
            label[1] = char(label[1] >= 'a' ? label[1] - 'a' + 'A' : label[1]);
            return label;
        }
    label[0] = char(label[0] - 'a' + 'A');
    return label;
}
