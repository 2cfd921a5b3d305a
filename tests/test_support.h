// Shared pieces of the native tests: the plug-in linked into the test
// program, and scoped settings of the process-wide state it reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/filter_parameters.h"
#include "host_services/host_kind.h"
#include "plugin/plugin_main.h"
#include "tests/test_host.h"

inline PluginEntry Plugin() { return &PluginMain; }

// Plays a given host application for the life of the object.
struct ScopedHostKind {
    int32_t saved;
    explicit ScopedHostKind(int32_t kind) : saved(HostKind) { HostKind = kind; }
    ~ScopedHostKind() { HostKind = saved; }
};

inline std::vector<int16_t> ParameterVector(const TestHost& host) {
    const int16_t* values = host.ParameterValues();
    return values ? std::vector<int16_t>(values, values + 13) : std::vector<int16_t>();
}

inline const std::vector<int16_t>& DefaultParameterVector() {
    static const std::vector<int16_t> defaults = {50, 250, 0, 0, 2, 100, 7, 0, 7, 25, 25, 50, 20};
    return defaults;
}

// A small RGB image with a gradient, enough for flows that do not look at pixels.
HostImage SmallImage(int32_t width = 8, int32_t height = 6, int depth = 8, int colorPlanes = 3,
                     bool hasTransparency = false);

// A UTF-8 text in code page 932, as the plug-in's interface texts are stored.
std::string Cp932(const std::string& utf8);

// The globals the plug-in keeps in a host's data slot (for hosts other than Fireworks).
struct FilterGlobals;
FilterGlobals* GlobalsOf(const TestHost& host);
