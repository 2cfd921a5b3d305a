#include "tests/emulated_host/plugin_library.h"

#include <cstring>

std::string EntryNameFromPropertyList(const unsigned char* bytes, size_t size, uint32_t codeProperty) {
    auto read32 = [bytes](size_t at) {
        uint32_t value;
        std::memcpy(&value, bytes + at, 4);
        return value;
    };
    if (!bytes || size < 10) return "";
    const uint32_t count = read32(6);
    size_t at = 10;
    for (uint32_t i = 0; i < count && at + 16 <= size; ++i) {
        const uint32_t key = read32(at + 4), length = read32(at + 12);
        if (length > size - at - 16) return "";
        if (key == codeProperty) {
            const char* name = reinterpret_cast<const char*>(bytes + at + 16);
            return std::string(name, strnlen(name, length));
        }
        at += 16 + length;
    }
    return "";
}

#if defined(_WIN32)
#include <windows.h>

bool LoadPluginLibrary(const std::string& path, PluginLibrary* library, std::string* error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const uint32_t code = sizeof(void*) == 8 ? FourCC("8664") : FourCC("wx86");
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(16000), "PiPL");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const std::string name =
        bytes ? EntryNameFromPropertyList(static_cast<const unsigned char*>(bytes), SizeofResource(module, found), code)
              : std::string();
    FARPROC entry = name.empty() ? nullptr : GetProcAddress(module, name.c_str());
    if (!entry) {
        *error = path + (name.empty() ? " has no property list naming an entry point for this architecture"
                                      : " has no entry point named " + name);
        FreeLibrary(module);
        return false;
    }
    library->module = module;
    library->entry = reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(entry));
    library->entryName = name;
    return true;
}

void FreePluginLibrary(PluginLibrary* library) {
    if (library->module) FreeLibrary(static_cast<HMODULE>(library->module));
    *library = PluginLibrary{};
}
#else
bool LoadPluginLibrary(const std::string& path, PluginLibrary*, std::string* error) {
    *error = "cannot load " + path + ": plug-in files are Windows libraries; this build links the plug-in in";
    return false;
}

void FreePluginLibrary(PluginLibrary* library) { *library = PluginLibrary{}; }
#endif
