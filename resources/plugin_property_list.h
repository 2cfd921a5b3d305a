// The plug-in property list (PiPL) and the scripting terminology (AETE) that
// tell a host what the filter is without running it.
#pragma once

#include <cstdint>
#include <vector>

#include "interface/pi_types.h"

// The code property that names the entry point: 'wx86' for 32-bit Windows,
// '8664' for 64-bit Windows.
constexpr OSType kCodeWin32 = FourCC("wx86");
constexpr OSType kCodeWin64 = FourCC("8664");

// The ids of the two resources, and the suite, class and event codes of the filter's scripting event.
constexpr int kPropertyListId = 16000;
constexpr int kTerminologyId = 16000;
constexpr OSType kGlyraEventCode = 0x72673042;

std::vector<uint8_t> BuildPropertyList(OSType codeProperty);
std::vector<uint8_t> BuildTerminology();
