// One filter pass: the host's pixels inside passRect to float planes, the star
// renderer, and back into the host's output buffer.
#pragma once

#include "host/filter_globals.h"
#include "pipeline/proxy_scale.h"
#include "render/render_stars.h"

// Runs one pass over globals->passRect. Leaves noErr after a pass that rendered
// and exported, userCanceledErr after a stop, memFullErr when memory cannot be
// had, filterBadParameters without a parameter block, and paramErr when the
// host's buffers do not cover the pass. Only a successful pass writes outData.
// An empty pass rectangle changes nothing. previewState is the dialog's
// preview state word during a preview, null otherwise.
void RunFilterPass(FilterGlobals* globals, const int32_t* previewState);

// Sets inColumnBytes and outColumnBytes to bytes per sample x planes where the
// host left them unset (0 or less).
void FillColumnBytes(FilterGlobals* globals);

// The After Effects width reference: process-wide, shared by every instance,
// as a host's reduced previews of one frame may come through any of them.
FullWidthReference& ProcessFullWidthReference();

// How passes render. Process-wide configuration that the command line (or a
// test) sets before it runs the filter; the plug-in itself never changes it.
void SetPassRenderOptions(const RenderOptions& options);
const RenderOptions& PassRenderOptions();

// Where the calling thread's last pass's time went, in seconds: reading the
// host's samples into float planes, the render (highlights, stamping and
// blending), and writing them back. Kept per thread, for the command's stage
// report and the benchmark: files filtered at once each read their own.
struct PassTimings {
    double importSeconds = 0;
    double renderSeconds = 0;
    double exportSeconds = 0;
};
const PassTimings& LastPassTimings();
