// Loading a plug-in file as hosts do on Windows: the entry point's name comes
// from the property list in the file's resources.
#pragma once

#include <string>

#include "tests/emulated_host/filter_host.h"

struct PluginLibrary {
    void* module = nullptr;
    PluginEntry entry = nullptr;
    std::string entryName;  // as the property list names it
};

// Loads the library, reads its property list through the resource API, and
// looks up the entry point named by the code property of this architecture
// ('8664' in 64-bit programs, 'wx86' in 32-bit ones). On failure returns false
// and says why in *error. Only Windows builds can load plug-in files.
bool LoadPluginLibrary(const std::string& path, PluginLibrary* library, std::string* error);
void FreePluginLibrary(PluginLibrary* library);

// The entry point name in a property list for a code property, or "" when the
// list holds none. Walks the properties by their length fields, as hosts do.
std::string EntryNameFromPropertyList(const unsigned char* bytes, size_t size, uint32_t codeProperty);
