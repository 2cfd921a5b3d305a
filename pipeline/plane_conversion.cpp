#include "pipeline/plane_conversion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/parallel_work.h"
#include "core/sample_math.h"

namespace {

constexpr int32_t kRowsPerItem = 32;

// Visits every pixel of passRect, with its host address and its index in the
// planes, a block of rows per item of parallel work. False when the check
// point stopped it.
template <typename Visit>
bool WalkPassRect(const FilterGlobals* globals, void* buffer, int32_t rowBytes, int32_t columnBytes,
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
            size_t k = size_t(row - pass.top) * width;
            auto* pixel = static_cast<uint8_t*>(buffer) + std::ptrdiff_t(row) * rowBytes +
                          std::ptrdiff_t(pass.left) * columnBytes;
            for (int32_t column = pass.left; column < pass.right; ++column, ++k, pixel += pixelStep) visit(pixel, k);
        }
    };
    return RunParallel(job);
}

}  // namespace


bool ImportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount, WorkPlaneSet* planes,
                  const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const int end = firstPlane + planeCount;
    return WalkPassRect(globals, record->inData, record->inRowBytes, record->inColumnBytes, bytesPerSample, work,
                        [&](const uint8_t* pixel, size_t k) {
                            for (int p = firstPlane; p < end; ++p) {
                                const uint32_t sample = LoadHostSample(pixel, p, bytesPerSample);
                                planes->planes[p][k] = bytesPerSample == 2 ? ImportSample16(uint16_t(sample))
                                                                           : ImportSample8(uint8_t(sample));
                            }
                        });
}

namespace {

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

void ExportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount,
                  const WorkPlaneSet* planes, const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const int end = firstPlane + planeCount;
    WalkPassRect(globals, record->outData, record->outRowBytes, record->outColumnBytes, bytesPerSample,
                 ToTheEnd(work), [&](uint8_t* pixel, size_t k) {
                     for (int p = firstPlane; p < end; ++p) {
                         if (bytesPerSample == 2) {
                             const uint16_t sample = ExportSample16(planes->planes[p][k]);
                             std::memcpy(pixel + 2 * p, &sample, 2);
                         } else {
                             pixel[p] = ExportSample8(planes->planes[p][k]);
                         }
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
        if (bytesPerSample == 2) {
            for (size_t k = first; k < last; ++k) {
                const uint16_t sample = ExportSample16(plane[k]);
                std::memcpy(staging + 2 * k, &sample, 2);
            }
        } else {
            for (size_t k = first; k < last; ++k) staging[k] = ExportSample8(plane[k]);
        }
    };
    RunParallel(job);
}

void ExportStagedPlane(FilterGlobals* globals, int bytesPerSample, int plane, const uint8_t* staging,
                       const ConversionWork& work) {
    const FilterRecord* record = globals->filterRecord;
    const size_t bytes = size_t(bytesPerSample);
    WalkPassRect(globals, record->outData, record->outRowBytes, record->outColumnBytes, bytesPerSample,
                 ToTheEnd(work), [&](uint8_t* pixel, size_t k) {
                     std::memcpy(pixel + bytes * size_t(plane), staging + bytes * k, bytes);
                 });
}
