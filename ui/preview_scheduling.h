// Scheduling preview renders: every change asks for one; a render that runs
// is stopped by the next change through the message pump, and requests that
// pile up are answered by one render.
#pragma once

#include "ui/dialog_state.h"

// A parameter changed: posts a filtered request, or marks the running render for a restart.
void RequestPreview(ParameterDialogState* dialog);

// Runs one preview render, filtered or not, then repaints the pane and posts
// what the render's interruption asked for.
void UpdatePreview(ParameterDialogState* dialog, bool filtered);

// The handlers of WM_PREVIEW_FILTERED and WM_PREVIEW_PLAIN: drop the queued
// requests of the same kind, then render once.
void OnPreviewRequest(ParameterDialogState* dialog, unsigned message);
