// The numeric conventions every part that touches samples shares.
#pragma once

#include <cstdint>
#include <cstring>

// Full scale of the host's samples: 8-bit 255; 16-bit 32768 (the interface's
// 16-bit range is 0..32768, not 0..65535).
constexpr int32_t kFullScale8 = 255;
constexpr int32_t kFullScale16 = 32768;

// The double nearest to 1/255: 8-bit samples and thresholds to the 0..1 scale.
constexpr double kOneOver255 = 0.00392156862745098;
// 1/32768, exact: 16-bit samples to the 0..1 scale.
constexpr double kOneOver32768 = 0.000030517578125;

// Rounding to an integer with halves away from zero, as the line walk, the
// export and the preview all round.
inline int64_t RoundHalfAwayFromZero(double x) { return x >= 0 ? int64_t(x + 0.5) : int64_t(x - 0.5); }

// Rounds halves away from zero and clamps to 0..maximum; a value that is not a
// number exports as 0. Written as two selects, so that loops over it become
// vector code.
inline int32_t RoundAndClamp(double x, int32_t maximum) {
    x = x > 0 ? x : 0;  // also a value that is not a number
    x = x < double(maximum) ? x : double(maximum);
    return int32_t(x + 0.5);
}

// One host sample to the working scale (1.0 is full scale) and back, as the
// filter pass converts them and every other host of the renderer must.
inline float ImportSample8(uint8_t sample) { return float(double(sample) * kOneOver255); }
inline float ImportSample16(uint16_t sample) { return float(double(sample) * kOneOver32768); }
inline uint8_t ExportSample8(float value) { return uint8_t(RoundAndClamp(double(value) * kFullScale8, kFullScale8)); }
inline uint16_t ExportSample16(float value) {
    return uint16_t(RoundAndClamp(double(value) * kFullScale16, kFullScale16));
}

// A 16-bit image file's sample (0..65535, the whole range) to the working
// scale and back. Through float and back every value comes out as it went in.
constexpr int32_t kFullScaleFile16 = 65535;
inline float ImportFileSample16(uint16_t sample) { return float(double(sample) * (1.0 / kFullScaleFile16)); }
inline uint16_t ExportFileSample16(float value) {
    return uint16_t(RoundAndClamp(double(value) * kFullScaleFile16, kFullScaleFile16));
}

// A 16-bit host sample shown on an 8-bit display: the top eight of its fifteen
// bits, full scale and above showing as 255.
inline uint8_t DisplaySample16(uint16_t sample) { return sample >= kFullScale16 ? 255 : uint8_t(sample >> 7); }

// Sample `plane` of an interleaved host pixel of 8- or 16-bit samples; 16-bit
// rows need not be aligned, so the sample is copied out rather than cast.
inline uint32_t LoadHostSample(const uint8_t* pixel, int plane, int bytesPerSample) {
    if (bytesPerSample == 1) return pixel[plane];
    uint16_t value;
    std::memcpy(&value, pixel + 2 * plane, 2);
    return value;
}
