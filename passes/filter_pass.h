// One filter pass: the host's pixels inside passRect to float planes, the star
// renderer, and back into the host's output buffer.
#pragma once

#include "host_services/filter_globals.h"
#include "passes/proxy_scale.h"
#include "render/image_operation.h"

// Runs one pass over globals->passRect through the image operation, with
// the host's buffers as its views. Leaves noErr after a pass that rendered
// and exported, userCanceledErr after a stop, memFullErr when memory cannot be
// had, filterBadParameters without a parameter block, and paramErr when the
// host's buffers do not cover the pass. Only a successful pass writes outData.
// An empty pass rectangle changes nothing. previewState is the dialog's
// preview state word during a preview, null otherwise. The report tells how
// the pass went (the benchmark and the tests read it).
ImageReport RunFilterPass(FilterGlobals* globals, const int32_t* previewState,
                          const RenderOptions& options = RenderOptions{});

// Sets inColumnBytes and outColumnBytes to bytes per sample x planes where the
// host left them unset (0 or less).
void FillColumnBytes(FilterGlobals* globals);

// The After Effects width reference: process-wide, shared by every instance,
// as a host's reduced previews of one frame may come through any of them.
// The host interface forces this one piece of shared state.
FullWidthReference& ProcessFullWidthReference();
