// Conversion between the host's interleaved 8- or 16-bit pixels inside the
// pass rectangle and the float working planes.
#pragma once

#include "host/filter_globals.h"
#include "core/work_planes.h"

// Reads planes 0 to planeCount - 1 of every pixel of passRect from inData.
void ImportPlanes(FilterGlobals* globals, int bytesPerSample, int planeCount, WorkPlaneSet* planes);
// Writes them back into outData, rounded halves away from zero and clamped to
// the host's range (0..255, or 0..32768 at 16 bits).
void ExportPlanes(FilterGlobals* globals, int bytesPerSample, int planeCount, const WorkPlaneSet* planes);

// One sample's conversions, for the pass and its tests.
float ImportSample8(uint8_t sample);
float ImportSample16(uint16_t sample);
uint8_t ExportSample8(float value);
uint16_t ExportSample16(float value);
