// Loading a plug-in file and finding its entry point, as hosts do on Windows.
#pragma once

#include <string>

#include "runner/test_host.h"

struct PluginLibrary {
    void* module = nullptr;
    PluginEntry entry = nullptr;
};

// Loads the library and looks up its entry point by name. On failure returns
// false and says why in *error. Only Windows builds can load plug-in files.
bool LoadPluginLibrary(const std::string& path, const std::string& entryName, PluginLibrary* library,
                       std::string* error);
void FreePluginLibrary(PluginLibrary* library);
