// Basic types of the Photoshop filter plug-in interface, declared with the
// widths and signedness that the binary interface uses on x86 and x64 Windows.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define PI_CALL __cdecl
#else
#define PI_CALL
#endif

typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint8_t Boolean;  // one byte, 0 or non-zero
typedef int32_t Fixed;    // 16.16 fixed point
typedef char* Ptr;
typedef char** Handle;    // a pointer to a master pointer

struct Point {
    int16_t v;
    int16_t h;
};

struct Rect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct VRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
};

struct PSRGBColor {
    uint16_t red;
    uint16_t green;
    uint16_t blue;
};

typedef uint8_t FilterColor[4];

struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

// The host's platform data: the window that owns the plug-in's dialogs.
struct PlatformData {
    intptr_t hwnd;
};

// Four-character codes are 32-bit values whose most significant byte is the first character.
constexpr OSType FourCC(const char (&code)[5]) {
    return (OSType(uint8_t(code[0])) << 24) | (OSType(uint8_t(code[1])) << 16) |
           (OSType(uint8_t(code[2])) << 8) | OSType(uint8_t(code[3]));
}
