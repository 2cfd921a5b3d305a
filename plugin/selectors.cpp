#include "plugin/selectors.h"

#include "host_services/module_instance.h"
#include "host_services/instance.h"
#include "host_services/request_rects.h"
#include "host_services/script_parameters.h"
#include "interface/result_codes.h"
#include "passes/filter_pass.h"
#include "ui/about_box.h"
#include "ui/alerts.h"
#include "ui/parameter_dialog.h"

namespace {

// Asks the host for the filter rectangle with every plane, padded with 255.
void RequestFilterRect(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    const Rect filter = record->filterRect;
    record->inputRate = kFixedOne;
    record->maskRate = kFixedOne;
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = int16_t(record->planes - 1);
    record->inputPadding = record->outputPadding = record->maskPadding = 255;
    record->inRect = record->outRect = record->maskRect = filter;
    SetRectLTRB(&globals->passRect, 0, 0, int16_t(filter.right - filter.left), int16_t(filter.bottom - filter.top));
}

}  // namespace

void DoAbout(const AboutRecord* about) { ShowAboutBox(about); }

void DoParameters(FilterGlobals* globals) {
    InitInstance(globals);
    globals->showDialog = 1;
}

void DoPrepare(FilterGlobals* globals) {
    globals->filterRecord->bufferSpace = 0;
    globals->filterRecord->maxSpace = 0;
}

void DoStart(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    *globals->result = noErr;
    // Without a single plane there is nothing to render or show.
    if (record->planes <= 0) {
        *globals->result = filterBadMode;
        ClearRequestRects(record);
        return;
    }
    if (!RequireAdvanceState(record->advanceState, ModuleInstance)) {
        *globals->result = userCanceledErr;
        ClearRequestRects(record);
        return;
    }
    InitInstance(globals);
    if (*globals->result == memFullErr) {
        ClearRequestRects(record);
        return;
    }

    ReadScriptParameters(globals);
    if (globals->showDialog) {
        globals->showDialog = 0;
        if (!ShowParameterDialog(globals)) {
            ClearRequestRects(record);
            return;
        }
        // The dialog has asked for the whole image, so buffer coordinates are image coordinates.
        globals->passRect = record->filterRect;
    } else {
        RequestFilterRect(globals);
    }
    *globals->result = record->advanceState();
    if (*globals->result != noErr) ClearRequestRects(record);
}

void DoContinue(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    const Rect& filter = record->filterRect;
    if (filter.top != filter.bottom && filter.left != filter.right) RunFilterPass(globals, nullptr);
    ClearRequestRects(record);
}

void DoFinish(FilterGlobals* globals) { WriteScriptParameters(globals); }
