#include "pipeline/plane_conversion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/parallel_work.h"
#include "core/vector_clones.h"
#include "core/sample_math.h"

namespace {

constexpr int32_t kRowsPerItem = 32;

// Visits every row of passRect: visit(first pixel's address, its index in the
// planes, pixels in the row, bytes from one pixel to the next), a block of
// rows per item of parallel work. False when the check point stopped it.
template <typename Visit>
bool WalkPassRows(const FilterGlobals* globals, void* buffer, int32_t rowBytes, int32_t columnBytes,
                  int bytesPerSample, const ConversionWork& work, Visit visit) {
    const FilterRecord* record = globals->filterRecord;
    const Rect pass = globals->passRect;
    const size_t pixelStep = size_t(record->planes) * size_t(bytesPerSample);
    const size_t width = size_t(int32_t(pass.right) - pass.left);
    ParallelJob job;
    job.items = (int64_t(pass.bottom) - pass.top + kRowsPerItem - 1) / kRowsPerItem;
    job.workers = work.workers;
    job.checkPoint = work.checkPoint;
    job.work = [&](int64_t item, int, const std::atomic<bool>&) {
        const int32_t first = pass.top + int32_t(item) * kRowsPerItem;
        const int32_t last = std::min<int32_t>(pass.bottom, first + kRowsPerItem);
        for (int32_t row = first; row < last; ++row) {
            auto* pixel = static_cast<uint8_t*>(buffer) + std::ptrdiff_t(row) * rowBytes +
                          std::ptrdiff_t(pass.left) * columnBytes;
            visit(pixel, size_t(row - pass.top) * width, width, pixelStep);
        }
    };
    return RunParallel(job);
}

// One plane of a row of host pixels to floats and back, with the sample size
// fixed, so that the loops become vector code. Sixteen-bit samples are
// unaligned in general, so they are copied out and in.
GLYRA_VECTOR_CLONES void ImportRow8(const uint8_t* pixel, size_t step, float* out, size_t width) {
    for (size_t i = 0; i < width; ++i) out[i] = ImportSample8(pixel[i * step]);
}
GLYRA_VECTOR_CLONES void ImportRow16(const uint8_t* pixel, size_t step, float* out, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        uint16_t sample;
        std::memcpy(&sample, pixel + i * step, 2);
        out[i] = ImportSample16(sample);
    }
}
GLYRA_VECTOR_CLONES void ExportRow8(const float* in, uint8_t* pixel, size_t step, size_t width) {
    for (size_t i = 0; i < width; ++i) pixel[i * step] = ExportSample8(in[i]);
}
GLYRA_VECTOR_CLONES void ExportRow16(const float* in, uint8_t* pixel, size_t step, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        const uint16_t sample = ExportSample16(in[i]);
        std::memcpy(pixel + i * step, &sample, 2);
    }
}

// An export's work: its check points only report, they never stop it.
ConversionWork ToTheEnd(const ConversionWork& work) {
    ConversionWork toTheEnd = work;
    if (work.checkPoint) {
        const auto checkPoint = work.checkPoint;
        toTheEnd.checkPoint = [checkPoint](double done) {
            checkPoint(done);
            return true;
        };
    }
    return toTheEnd;
}

}  // namespace

bool ImportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount, WorkPlaneSet* planes,
                  const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const size_t bytes = size_t(bytesPerSample);
    return WalkPassRows(globals, record->inData, record->inRowBytes, record->inColumnBytes, bytesPerSample, work,
                        [&](const uint8_t* pixel, size_t k, size_t width, size_t step) {
                            for (int p = firstPlane; p < firstPlane + planeCount; ++p) {
                                if (bytes == 2)
                                    ImportRow16(pixel + 2 * size_t(p), step, planes->planes[p] + k, width);
                                else
                                    ImportRow8(pixel + size_t(p), step, planes->planes[p] + k, width);
                            }
                        });
}

void ExportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount,
                  const WorkPlaneSet* planes, const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const size_t bytes = size_t(bytesPerSample);
    WalkPassRows(globals, record->outData, record->outRowBytes, record->outColumnBytes, bytesPerSample,
                 ToTheEnd(work), [&](uint8_t* pixel, size_t k, size_t width, size_t step) {
                     for (int p = firstPlane; p < firstPlane + planeCount; ++p) {
                         if (bytes == 2)
                             ExportRow16(planes->planes[p] + k, pixel + 2 * size_t(p), step, width);
                         else
                             ExportRow8(planes->planes[p] + k, pixel + size_t(p), step, width);
                     }
                 });
}

void StagePlane(const float* plane, size_t samples, int bytesPerSample, uint8_t* staging, int workers) {
    constexpr size_t kSamplesPerItem = size_t(1) << 16;
    ParallelJob job;
    job.items = int64_t((samples + kSamplesPerItem - 1) / kSamplesPerItem);
    job.workers = workers;
    job.work = [&](int64_t item, int, const std::atomic<bool>&) {
        const size_t first = size_t(item) * kSamplesPerItem, last = std::min(samples, first + kSamplesPerItem);
        if (bytesPerSample == 2)
            ExportRow16(plane + first, staging + 2 * first, 2, last - first);
        else
            ExportRow8(plane + first, staging + first, 1, last - first);
    };
    RunParallel(job);
}

void ExportStagedPlane(FilterGlobals* globals, int bytesPerSample, int plane, const uint8_t* staging,
                       const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const size_t bytes = size_t(bytesPerSample);
    WalkPassRows(globals, record->outData, record->outRowBytes, record->outColumnBytes, bytesPerSample,
                 ToTheEnd(work), [&](uint8_t* pixel, size_t k, size_t width, size_t step) {
                     uint8_t* to = pixel + bytes * size_t(plane);
                     const uint8_t* from = staging + bytes * k;
                     if (bytes == 2) {
                         for (size_t i = 0; i < width; ++i) std::memcpy(to + i * step, from + 2 * i, 2);
                     } else {
                         for (size_t i = 0; i < width; ++i) to[i * step] = from[i];
                     }
                 });
}
