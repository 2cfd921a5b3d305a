// The star render: finds the highlights of each colour plane, stamps their
// star lines into an accumulator weighted by the streak profile, and
// screen-blends the accumulator into the plane, in place. The entry point
// chooses how: the reference path, or a faster one that gives the same output.
#pragma once

#include <cstddef>

#include "core/work_planes.h"
#include "render/render_checks.h"
#include "render/star_settings.h"

struct RenderScratch;

enum class RenderPath {
    Auto,       // per pass, the faster of exact stamping and the transform
    Reference,  // one source at a time on the calling thread, every point of every line
    Exact,      // exact stamping by bands on worker threads, bit-identical to the reference
    Fourier,    // the transform wherever the memory and the kernel allow it
};

struct RenderOptions {
    RenderPath path = RenderPath::Auto;
    int threads = 0;            // worker threads; 0 follows the machine
    size_t fourierMemory = 0;   // most bytes the transform may use; 0 is the build's default
    RenderScratch* scratch = nullptr;  // memory kept for the next render, or none
};

// The transform's default memory: what a 64-bit process can spare for one
// pass, and a share of a 32-bit host's address space that leaves it room.
constexpr size_t kDefaultFourierMemory = sizeof(void*) >= 8 ? size_t(3) << 30 : size_t(512) << 20;

// How a pass was rendered.
enum class PassMethod {
    Reference,  // the reference render
    Skipped,    // no highlight or no line: the plane stays as it was
    Banded,     // exact stamping by bands of rows on worker threads
    Serial,     // exact stamping on the calling thread (the source list could not be had)
    Fourier,    // by transform
};

struct RenderReport {
    int passes = 0;
    PassMethod methods[kWorkPlaneSlots] = {};
};

// Renders into the colour planes of a settings.width x settings.height working
// rectangle. Checks are called on the calling thread only. The report, when
// given, tells how each pass was rendered.
RenderStatus RenderStars(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                         const RenderOptions& options, RenderReport* report = nullptr);
