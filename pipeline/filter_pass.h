// One filter pass: the host's pixels inside passRect to float planes, the star
// renderer, and back into the host's output buffer.
#pragma once

#include "host/filter_globals.h"

// Runs one pass over globals->passRect. Leaves noErr after a pass that rendered
// and exported, userCanceledErr after a stop, memFullErr when memory cannot be
// had, and paramErr when the host's buffers do not cover the pass. Only a
// successful pass writes outData. An empty pass rectangle changes nothing.
void RunFilterPass(FilterGlobals* globals);

// Sets inColumnBytes and outColumnBytes to bytes per sample x planes where the
// host left them unset (0 or less).
void FillColumnBytes(FilterGlobals* globals);
