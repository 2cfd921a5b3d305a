// Control ids of the parameter dialog (template 102) and the About box
// (template 101) that belong to no parameter, shared by the templates and the
// dialog code. The ids of each parameter's caption, edit field, trackbar and
// radio buttons are in the parameter table.
#pragma once

enum DialogTemplateId {
    kAboutDialogTemplate = 101,
    kParameterDialogTemplate = 102,
};

enum ParameterDialogControl {
    kOkButton = 1,
    kCancelButton = 2,
    kZoomInButton = 1002,
    kZoomOutButton = 1003,
    kPreviewPane = 1007,
    kZoomLabel = 1008,
    kGeneralGroup = 1009,
    kHighlightGroup = 1025,
    kSpectrumGroup = 1039,
};

enum AboutDialogControl {
    kAboutText = 1001,
};
