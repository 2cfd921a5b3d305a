// The modal parameter dialog that Start shows when the host asks for it.
#pragma once

#include "host/filter_globals.h"

// Runs the dialog over the globals' parameter block. Returns true when the
// user accepted (*result is noErr); on false *result holds userCanceledErr and
// the parameters are as they were when the dialog opened.
bool ShowParameterDialog(FilterGlobals* globals);

#if !defined(_WIN32)
#include <functional>
// Without a window system the dialog is played by a handler that the caller
// installs (tests drive the dialog path through it): it edits the parameters
// and leaves noErr or userCanceledErr in *result. With none installed the
// dialog counts as cancelled.
void SetParameterDialogHandler(std::function<void(FilterGlobals*)> handler);
#endif
