#include "runner/plugin_library.h"

#if defined(_WIN32)
#include <windows.h>

bool LoadPluginLibrary(const std::string& path, const std::string& entryName, PluginLibrary* library,
                       std::string* error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    FARPROC entry = GetProcAddress(module, entryName.c_str());
    if (!entry) {
        *error = path + " has no entry point named " + entryName;
        FreeLibrary(module);
        return false;
    }
    library->module = module;
    library->entry = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(entry));
    return true;
}

void FreePluginLibrary(PluginLibrary* library) {
    if (library->module) FreeLibrary(static_cast<HMODULE>(library->module));
    *library = PluginLibrary{};
}
#else
bool LoadPluginLibrary(const std::string& path, const std::string&, PluginLibrary*, std::string* error) {
    *error = "cannot load " + path + ": plug-in files are Windows libraries; this build links the plug-in in";
    return false;
}

void FreePluginLibrary(PluginLibrary* library) { *library = PluginLibrary{}; }
#endif
