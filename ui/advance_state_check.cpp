#include "ui/advance_state_check.h"

bool RequireAdvanceState(AdvanceStateProc advanceState, HINSTANCE) { return advanceState != nullptr; }
