// The modal parameter dialog that Start shows when the host asks for it.
#pragma once

#include "host_services/filter_globals.h"

// Runs the dialog over the globals' parameter block. Returns true when the
// user accepted (*result is noErr); on false *result holds userCanceledErr and
// the parameters are as they were when the dialog opened.
bool ShowParameterDialog(FilterGlobals* globals);

