// The state of one open parameter dialog: everything its rules and its
// preview pane remember between messages. The dialog owns it for as long as
// it is open; nothing of it is process-wide.
#pragma once

#include "core/filter_parameters.h"
#include "host_services/filter_globals.h"
#include "passes/preview_render.h"
#include "ui/dialog_controls.h"
#include "ui/ui_texts.h"

struct PreviewPaneState {
    bool dragging = false;
    int16_t dragAnchorX = 0;
    int16_t dragAnchorY = 0;
};

struct ParameterDialogState {
    FilterGlobals* globals = nullptr;
    const UiTexts* texts = nullptr;  // the language shown; the user's unless set before the opening
    FilterParameters saved{};  // the block as it was when the dialog opened
    DialogControls* controls = nullptr;
    PreviewSession preview;    // the preview state word and whether the whole image is at hand
    PreviewPaneState pane;
};
