// The check that the host offers advanceState, without which the filter
// cannot ask for pixels.
#pragma once

#include "interface/filter_record.h"
#include "platform/win32.h"

// True when the host offers advanceState.
bool RequireAdvanceState(AdvanceStateProc advanceState, HINSTANCE module);
