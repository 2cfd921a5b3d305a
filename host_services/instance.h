// Per-run initialisation of the globals.
#pragma once

#include "host_services/filter_globals.h"

// Switches padding support off, forgets the preview buffers (without freeing
// them), works out hasTransparency and makes a default parameter block when
// the host has none, or has one shorter than the block (that one is handed
// back to the host). Leaves memFullErr when the block cannot be made.
void InitInstance(FilterGlobals* globals);
