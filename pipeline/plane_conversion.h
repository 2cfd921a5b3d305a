// Conversion between the host's interleaved 8- or 16-bit pixels inside the
// pass rectangle and the float working planes.
#pragma once

#include "host/filter_globals.h"
#include "core/sample_math.h"
#include "core/work_planes.h"

#include <functional>

// How the rows of a conversion are shared out: the workers, and the check
// point the calling thread runs while they convert (false stops an import).
struct ConversionWork {
    int workers = 1;
    std::function<bool(double done)> checkPoint;
};

// Reads planes firstPlane to firstPlane + planeCount - 1 of every pixel of
// passRect from inData into the same slots of `planes`. False when the check
// point stopped it.
bool ImportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount, WorkPlaneSet* planes,
                  const ConversionWork& work);
// Writes them back into outData, rounded halves away from zero and clamped to
// the host's range (0..255, or 0..32768 at 16 bits). An export always runs to
// its end, so that outData is never left half written; its check points keep
// the dialog's messages flowing.
void ExportPlanes(FilterGlobals* globals, int bytesPerSample, int firstPlane, int planeCount,
                  const WorkPlaneSet* planes, const ConversionWork& work);

// A plane's exported samples held aside (one host sample per pixel of
// passRect, bytesPerSample each) until the whole render has succeeded, then
// written into plane `plane` of outData.
void StagePlane(const float* plane, size_t samples, int bytesPerSample, uint8_t* staging, int workers);
void ExportStagedPlane(FilterGlobals* globals, int bytesPerSample, int plane, const uint8_t* staging,
                       const ConversionWork& work);

// One sample's conversions (ImportSample8 and the like) are in core/sample_math.h.
