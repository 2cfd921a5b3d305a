// Which host application loaded the library, decided from its executable name.
#pragma once

#include <cstdint>

enum HostKindValue : int32_t {
    HostKindOther = 0,
    HostKindFireworks = 1,
    HostKindPhotoshop = 3,
    HostKindPremiere = 8,
    HostKindAfterEffects = 11,
};

// Process-wide: set once by DLLMain at process attach, read by the selectors
// and the filter pass.
extern int32_t HostKind;

// The host kind of an executable path: the name after the last backslash,
// compared exactly and case-sensitively.
int32_t HostKindFromPath(const char* executablePath);

// Reads the process's executable path and stores the result in HostKind.
void DetectHostKind();
