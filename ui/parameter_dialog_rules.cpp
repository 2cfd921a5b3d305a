#include "ui/parameter_dialog_rules.h"

#include <cstdio>
#include <cstdlib>

#include "core/allocation.h"
#include "core/checked_size.h"
#include "core/parameter_table.h"
#include "core/sample_math.h"
#include "core/version.h"
#include "host_services/parameter_block.h"
#include "interface/result_codes.h"
#include "passes/message_pump.h"
#include "passes/preview_render.h"
#include "platform/win32.h"
#include "ui/dialog_ids.h"
#include "ui/preview_pane_rules.h"
#include "ui/preview_scheduling.h"

const char kDialogCaption[] = "Glyra " GLYRA_VERSION_TEXT;


namespace {

FilterParameters* Parameters(ParameterDialogState* dialog) {
    return ParameterBlock(dialog->globals->filterRecord);
}

int Clamp(int value, int minimum, int maximum) { return value < minimum ? minimum : value > maximum ? maximum : value; }

void SetNumber(DialogControls* controls, int id, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    controls->SetItemText(id, text);
}

// Sets the trackbar to the field, takes back the clamped position and shows it.
void InitSliderPair(ParameterDialogState* dialog, const ParameterInfo& info) {
    DialogControls* controls = dialog->controls;
    FilterParameters* parameters = Parameters(dialog);
    controls->SetSliderPosition(info.sliderId, parameters->*info.field);
    parameters->*info.field = int16_t(controls->SliderPosition(info.sliderId));
    SetNumber(controls, info.editId, parameters->*info.field);
    controls->SelectItemText(info.editId, 0, controls->ItemTextLength(info.editId));
}

// The value of edit text as atoi reads it: white space, a sign, digits.
int ReadNumber(const char* text) { return std::atoi(text); }

// Ends the dialog with the result the host will see.
void Finish(ParameterDialogState* dialog, OSErr result, int code) {
    *dialog->globals->result = result;
    FreePreviewBuffers(dialog->globals);
    dialog->controls->EndDialog(code);
}

// While a render runs, OK, Cancel and close stop it and come back once it has.
bool DeferWhileBusy(ParameterDialogState* dialog, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (dialog->preview.state != PreviewBusy) return false;
    dialog->preview.state = PreviewStop;
    dialog->controls->PostToDialog(message, wParam, lParam);
    return true;
}

}  // namespace

const ParameterInfo* ParameterByEdit(int id) {
    for (const ParameterInfo& info : kParameterTable)
        if (info.kind == ParameterKind::Integer && info.editId == id) return &info;
    return nullptr;
}

const ParameterInfo* ParameterBySlider(int id) {
    for (const ParameterInfo& info : kParameterTable)
        if (info.kind == ParameterKind::Integer && info.sliderId == id) return &info;
    return nullptr;
}

bool AllocPreviewBuffers(FilterGlobals* globals) {
    const FilterRecord* record = globals->filterRecord;
    const int32_t width = globals->previewFrame.right - globals->previewFrame.left;
    const int32_t height = globals->previewFrame.bottom - globals->previewFrame.top;
    size_t pane = 0, pixels = 0, image = 0;
    bool ok = width >= 0 && height >= 0 && record->planes >= 0 &&
              CheckedMultiply(size_t(width), size_t(height), &pane) &&
              CheckedMultiply(pane, size_t(record->planes) + 1, &pixels) && record->imageSize.h >= 0 &&
              record->imageSize.v >= 0 &&
              CheckedMultiply(size_t(record->imageSize.h), size_t(record->imageSize.v), &image);
    if (ok && !globals->previewPixels)
        ok = (globals->previewPixels = static_cast<uint8_t*>(AllocateZeroedBytes(pixels ? pixels : 1, 1))) != nullptr;
    if (ok && !globals->previewMask)
        ok = (globals->previewMask = static_cast<uint8_t*>(AllocateZeroedBytes(pane ? pane : 1, 1))) != nullptr;
    if (ok && globals->hasTransparency && !globals->transparencyPlane)
        ok = (globals->transparencyPlane = static_cast<uint8_t*>(AllocateZeroedBytes(image ? image : 1, 1))) != nullptr;
    if (!ok) FreePreviewBuffers(globals);
    return ok;
}

void FreePreviewBuffers(FilterGlobals* globals) {
    FreeBytes(globals->previewPixels);
    FreeBytes(globals->previewMask);
    FreeBytes(globals->transparencyPlane);
    globals->previewPixels = nullptr;
    globals->previewMask = nullptr;
    globals->transparencyPlane = nullptr;
}

void PrepareWholeImage(FilterGlobals* globals, PreviewSession* session) {
    FilterRecord* record = globals->filterRecord;
    const Rect whole{0, 0, record->imageSize.v, record->imageSize.h};
    record->inRect = record->outRect = record->maskRect = whole;
    const Rect& filter = record->filterRect;
    globals->viewCenterV = double(filter.top + (filter.bottom - filter.top) / 2);
    globals->viewCenterH = double(filter.left + (filter.right - filter.left) / 2);
    globals->zoomLevel = 1;
    record->inputRate = record->maskRate = kFixedOne;
    record->inLoPlane = record->outLoPlane = 0;
    record->outHiPlane = record->inHiPlane = int16_t(record->planes - 1);
    record->inputPadding = record->outputPadding = record->maskPadding = 255;
    session->sourceReady = false;

    if (globals->hasTransparency && record->advanceState) {
        const int s = BytesPerSample(record->imageMode);
        record->planes = int16_t(record->planes + 1);
        record->inHiPlane = int16_t(record->planes - 1);
        *globals->result = record->advanceState();
        const auto* data = static_cast<const uint8_t*>(record->inData);
        const size_t pixelBytes = size_t(record->planes) * size_t(s);
        // The input cannot be relied on when the request failed, nor read
        // beyond what the host says it delivered.
        if (*globals->result == noErr && globals->transparencyPlane &&
            HoldsWholeImage(data, record->inRect, record->inRowBytes, record->imageSize, int64_t(pixelBytes))) {
            const int sample = record->planes == 2 ? 1 : 3;
            for (int32_t r = 0; r < record->imageSize.v; ++r)
                for (int32_t c = 0; c < record->imageSize.h; ++c) {
                    const uint8_t* pixel = data + ptrdiff_t(r) * record->inRowBytes + size_t(c) * pixelBytes;
                    const uint32_t value = LoadHostSample(pixel, sample, s);
                    globals->transparencyPlane[size_t(r) * size_t(record->imageSize.h) + size_t(c)] =
                        s == 1 ? uint8_t(value) : DisplaySample16(uint16_t(value));
                }
        }
        record->planes = int16_t(record->planes - 1);
        record->inHiPlane = int16_t(record->planes - 1);
    }
    if (!record->advanceState) return;
    *globals->result = record->advanceState();
    const int64_t pixelBytes = int64_t(record->planes) * BytesPerSample(record->imageMode);
    session->sourceReady =
        *globals->result == noErr &&
        HoldsWholeImage(record->inData, record->inRect, record->inRowBytes, record->imageSize, pixelBytes) &&
        HoldsWholeImage(record->outData, record->outRect, record->outRowBytes, record->imageSize, pixelBytes);
}

void SetRadioGroup(ParameterDialogState* dialog, int16_t value) {
    FilterParameters* parameters = Parameters(dialog);
    bool matched = false;
    for (int16_t i = 0; i < kThresholdTypeCount; ++i) {
        const bool set = i == value;
        dialog->controls->SetChecked(kThresholdTypeTable[i].radioId, set);
        if (set) {
            parameters->thresholdType = i;
            matched = true;
        }
    }
    if (!matched) {
        dialog->controls->SetChecked(kThresholdTypeTable[0].radioId, true);
        parameters->thresholdType = 0;
    }
}

bool OpenParameterDialog(ParameterDialogState* dialog, FilterGlobals* globals, DialogControls* controls) {
    FilterParameters* parameters = ParameterBlock(globals->filterRecord);
    if (parameters) dialog->saved = *parameters;
    dialog->globals = globals;
    dialog->controls = controls;
    if (!dialog->texts) dialog->texts = &CurrentUiTexts();
    const UiTexts& texts = *dialog->texts;
    controls->SetCaption(kDialogCaption);
    controls->CenterOnDesktop();
    controls->AttachPreviewPane();
    globals->previewFrame = controls->PreviewFrame();
    if (!parameters || !AllocPreviewBuffers(globals)) {
        *globals->result = parameters ? memFullErr : filterBadParameters;
        controls->EndDialog(IDCANCEL);
        return false;
    }
    PrepareWholeImage(globals, &dialog->preview);

    // Every text in the user's language (UTF-8; the window system shows it
    // through its wide calls).
    controls->SetItemText(kOkButton, texts.ok.c_str());
    controls->SetItemText(kCancelButton, texts.cancel.c_str());
    controls->SetItemText(kGeneralGroup, texts.generalGroup.c_str());
    controls->SetItemText(kHighlightGroup, texts.highlightGroup.c_str());
    controls->SetItemText(kSpectrumGroup, texts.spectrumGroup.c_str());
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        controls->SetItemText(info.captionId, texts.parameterLabels[i].c_str());
        if (info.kind == ParameterKind::Enumerated) {
            for (int t = 0; t < kThresholdTypeCount; ++t)
                controls->SetItemText(kThresholdTypeTable[t].radioId, texts.thresholdTypeLabels[t].c_str());
            SetRadioGroup(dialog, parameters->*info.field);
        } else {
            controls->SetSliderRange(info.sliderId, info.minimum, info.maximum);
            InitSliderPair(dialog, info);
        }
    }

    UpdatePreview(dialog, false);
    RequestPreview(dialog);
    return true;
}

void OnSliderMoved(ParameterDialogState* dialog, int sliderId) {
    const ParameterInfo* row = ParameterBySlider(sliderId);
    if (!row) return;
    DialogControls* controls = dialog->controls;
    const auto position = int16_t(controls->SliderPosition(sliderId));
    if (position == Parameters(dialog)->*row->field) return;
    // Setting the text runs the edit rule while the field still holds the old
    // value: that stores the position and asks for the render.
    SetNumber(controls, row->editId,
              Clamp(position, controls->SliderMinimum(sliderId), controls->SliderMaximum(sliderId)));
    const int length = controls->ItemTextLength(row->editId);
    controls->SelectItemText(row->editId, length, length);
    Parameters(dialog)->*row->field = position;
}

void OnEditNotify(ParameterDialogState* dialog, int editId) {
    const ParameterInfo* row = ParameterByEdit(editId);
    if (!row) return;
    DialogControls* controls = dialog->controls;
    char text[8] = {0};
    controls->GetItemText(editId, text, sizeof text);
    const int value = ReadNumber(text);
    const int minimum = controls->SliderMinimum(row->sliderId), maximum = controls->SliderMaximum(row->sliderId);
    FilterParameters* parameters = Parameters(dialog);
    if (value < minimum || value > maximum || value == parameters->*row->field) return;
    controls->SetSliderPosition(row->sliderId, Clamp(value, minimum, maximum));
    parameters->*row->field = int16_t(value);
    RequestPreview(dialog);
}

bool OnRadioClicked(ParameterDialogState* dialog, int radioId) {
    for (int16_t i = 0; i < kThresholdTypeCount; ++i)
        if (kThresholdTypeTable[i].radioId == radioId) {
            SetRadioGroup(dialog, i);
            RequestPreview(dialog);
            return true;
        }
    return false;
}

bool OnOk(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam) {
    if (DeferWhileBusy(dialog, WM_COMMAND, wParam, lParam)) return true;
    Finish(dialog, noErr, IDOK);
    return true;
}

bool OnCancel(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam) {
    if (DeferWhileBusy(dialog, WM_COMMAND, wParam, lParam)) return true;
    if (FilterParameters* parameters = Parameters(dialog)) *parameters = dialog->saved;
    Finish(dialog, userCanceledErr, IDCANCEL);
    return true;
}

bool OnClose(ParameterDialogState* dialog, uintptr_t wParam, intptr_t lParam) {
    if (DeferWhileBusy(dialog, WM_CLOSE, wParam, lParam)) return false;
    if (FilterParameters* parameters = Parameters(dialog)) *parameters = dialog->saved;
    Finish(dialog, userCanceledErr, LOWORD(wParam));
    return true;
}

intptr_t DispatchParameterDialogMessage(ParameterDialogState* dialog, unsigned message, uintptr_t wParam,
                                        intptr_t lParam, int senderId) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const unsigned code = HIWORD(wParam);
            if (ParameterByEdit(id)) {
                OnEditNotify(dialog, id);
                return TRUE;
            }
            if (code != BN_CLICKED) return FALSE;
            switch (id) {
                case kOkButton: return OnOk(dialog, wParam, lParam);
                case kCancelButton: return OnCancel(dialog, wParam, lParam);
                case kZoomInButton:
                case kZoomOutButton: return OnZoomButton(dialog, id);
                default: return OnRadioClicked(dialog, id);
            }
        }
        case WM_HSCROLL: OnSliderMoved(dialog, senderId); return TRUE;
        case WM_CLOSE: return OnClose(dialog, wParam, lParam);
        case WM_PREVIEW_FILTERED:
        case WM_PREVIEW_PLAIN: OnPreviewRequest(dialog, message); return TRUE;
        default: return FALSE;
    }
}
