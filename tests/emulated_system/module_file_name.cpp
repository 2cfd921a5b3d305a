// The executable's file name for non-Windows builds. The runner and the tests
// set it to play a particular host; by default it is the real executable path.
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "tests/emulated_system/platform_testing.h"

namespace {
std::mutex gMutex;
std::string& ExecutablePath() {
    static std::string path = [] {
        char buffer[4096];
        ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        return n > 0 ? std::string(buffer, size_t(n)) : std::string();
    }();
    return path;
}
}  // namespace

void PlatformSetExecutablePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(gMutex);
    ExecutablePath() = path;
}

// As Win32: copies at most size - 1 characters and a NUL; a path that does not
// fit is truncated and the full size is returned.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
    ForeignCodeScope system;
    if (!buffer || size == 0) return 0;
    std::lock_guard<std::mutex> lock(gMutex);
    const std::string path = module ? std::string("Glyra.8bf") : ExecutablePath();
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
}
