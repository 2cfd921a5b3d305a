#include "host_services/host_kind.h"

#include <cstring>

#include "platform/win32.h"

int32_t HostKind = HostKindOther;

int32_t HostKindFromPath(const char* executablePath) {
    if (!executablePath) return HostKindOther;
    const char* slash = std::strrchr(executablePath, '\\');
    const char* name = slash ? slash + 1 : executablePath;
    static const struct {
        const char* name;
        int32_t kind;
    } kHosts[] = {
        {"Photoshp.exe", HostKindPhotoshop}, {"Photoshop.exe", HostKindPhotoshop},
        {"Fireworks.exe", HostKindFireworks}, {"AfterFX.exe", HostKindAfterEffects},
        {"premiere.exe", HostKindPremiere},
    };
    for (const auto& host : kHosts)
        if (std::strcmp(name, host.name) == 0) return host.kind;
    return HostKindOther;
}

void DetectHostKind() {
    char path[256] = {0};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    // A path that filled the buffer may have been cut short: its name is then unknown.
    if (length == 0 || length >= sizeof path) {
        HostKind = HostKindOther;
        return;
    }
    HostKind = HostKindFromPath(path);
}
