// 16-bit files use 0..65535; the filter interface's 16-bit scale is 0..32768.
// Both directions round to nearest, so every interface value survives a round
// trip through a file.
#pragma once

#include <cstdint>

inline uint16_t FileToHostSample16(uint16_t v) { return uint16_t((uint32_t(v) * 32768u + 32767u) / 65535u); }

inline uint16_t HostToFileSample16(uint16_t h) {
    if (h > 32768) h = 32768;
    return uint16_t((uint32_t(h) * 65535u + 16384u) / 32768u);
}
