// Writes the binary resources of the plug-in for one architecture: the
// property list, the scripting terminology and the two dialog templates. Run
// at build time; the resource script includes what it writes.
#include <cstdio>
#include <string>
#include <vector>

#include "resources/dialog_templates.h"
#include "resources/plugin_property_list.h"

namespace {
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::string(argv[1]) != "win32" && std::string(argv[1]) != "win64")) {
        std::fprintf(stderr, "usage: make_resource_blobs win32|win64 OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    const OSType code = std::string(argv[1]) == "win64" ? kCodeWin64 : kCodeWin32;
    const bool written = WriteFile(folder + "/pipl.bin", BuildPropertyList(code)) &&
                         WriteFile(folder + "/aete.bin", BuildTerminology()) &&
                         WriteFile(folder + "/dialog-101.bin", BuildAboutDialogTemplate()) &&
                         WriteFile(folder + "/dialog-102.bin", BuildParameterDialogTemplate());
    if (!written) {
        std::fprintf(stderr, "make_resource_blobs: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
