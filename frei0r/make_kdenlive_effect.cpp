// Writes the effect description Kdenlive reads for the frei0r filter
// (frei0r_glyra.xml), from the one parameter table: each integer shown over
// its own range (frei0r's 0..1 times the range's width, plus its minimum), the
// threshold type as a list.
//   make_kdenlive_effect OUTPUT.xml
#include <cstdio>
#include <string>

#include "core/parameter_names.h"
#include "core/parameter_table.h"

namespace {

std::string Escaped(const char* text) {
    std::string out;
    for (const char* c = text; *c; ++c) {
        if (*c == '&') out += "&amp;";
        else if (*c == '<') out += "&lt;";
        else if (*c == '>') out += "&gt;";
        else if (*c == '"') out += "&quot;";
        else out += *c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_kdenlive_effect OUTPUT.xml\n");
        return 2;
    }
    std::string xml =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE kpartgui>\n"
        "<effect tag=\"frei0r.glyra\" id=\"frei0r.glyra\">\n"
        "    <name>Glyra Star Streaks</name>\n"
        "    <description>Every pixel bright enough emits two to eight rays whose light falls off by a streak "
        "profile, with coloured fringes</description>\n"
        "    <author>The Glyra developers</author>\n";
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        const std::string label = ParameterEnglishLabel(info);
        if (info.kind == ParameterKind::Enumerated) {
            std::string list, shown;
            for (const ThresholdTypeInfo& type : kThresholdTypeTable) {
                list += std::string(list.empty() ? "" : ";") + type.name;
                shown += std::string(shown.empty() ? "" : ",") + type.name;
            }
            xml += "    <parameter type=\"list\" name=\"" + std::to_string(i) + "\" default=\"" +
                   kThresholdTypeTable[info.defaultValue].name + "\" paramlist=\"" + list + "\">\n" +
                   "        <paramlistdisplay>" + shown + "</paramlistdisplay>\n";
        } else {
            const int width = info.maximum - info.minimum;
            xml += "    <parameter type=\"constant\" name=\"" + std::to_string(i) + "\" default=\"" +
                   std::to_string(info.defaultValue) + "\" min=\"" + std::to_string(info.minimum) + "\" max=\"" +
                   std::to_string(info.maximum) + "\" factor=\"" + std::to_string(width) + "\" offset=\"" +
                   std::to_string(info.minimum) + "\">\n";
        }
        xml += "        <name>" + Escaped(label.c_str()) + "</name>\n        <comment>" + Escaped(info.help) +
               "</comment>\n    </parameter>\n";
    }
    xml += "</effect>\n";
    FILE* file = std::fopen(argv[1], "w");
    if (!file) return 1;
    const bool written = std::fwrite(xml.data(), 1, xml.size(), file) == xml.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
