// The parameter dialog's process-wide state: one dialog per process.
#pragma once

#include "host/filter_globals.h"
#include "host/filter_parameters.h"
#include "ui/dialog_controls.h"

struct ParameterDialogState {
    FilterGlobals* globals = nullptr;
    FilterParameters saved{};  // the block as it was when the dialog opened
    DialogControls* controls = nullptr;
};

struct PreviewPaneState {
    FilterGlobals* globals = nullptr;
    bool dragging = false;
    int16_t dragAnchorX = 0;
    int16_t dragAnchorY = 0;
};
