// Without a window system (the native build) the parameter dialog, the About
// box and the warning box are played by handlers that the caller installs:
// the tests drive the dialog's rules through them. Only native code (the
// tests and the fuzzing host) includes this seam.
#pragma once

#include <functional>

#include "host_services/filter_globals.h"
#include "interface/about_record.h"

// Plays the parameter dialog: edits the parameters and leaves noErr or
// userCanceledErr in *result. With none installed the dialog counts as
// cancelled, so a run never proceeds on parameters nobody saw.
void SetParameterDialogHandler(std::function<void(FilterGlobals*)> handler);

void SetAboutBoxHandler(std::function<void(const AboutRecord*)> handler);

// Plays the warning box: given the text, answers as the box would (1 for OK).
void SetAlertHandler(std::function<int(const char* text)> handler);
