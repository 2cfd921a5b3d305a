// Control ids of the parameter dialog (template 102) and the About box
// (template 101), shared by the templates and the dialog code.
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
    kThresholdTypeCaption = 1034,
    kPlainRadio = 1032,
    kAverageRadio = 1033,
    kWeightedRadio = 1035,
    kBrightnessCaption = 1013, kBrightnessEdit = 1014, kBrightnessSlider = 1015,
    kThresholdCaption = 1016, kThresholdEdit = 1017, kThresholdSlider = 1018,
    kAngleCaption = 1021, kAngleEdit = 1019, kAngleSlider = 1020,
    kLineTypeCaption = 1024, kLineTypeEdit = 1022, kLineTypeSlider = 1023,
    kH0DensityCaption = 1028, kH0DensityEdit = 1026, kH0DensitySlider = 1027,
    kH0ExtentCaption = 1031, kH0ExtentEdit = 1029, kH0ExtentSlider = 1030,
    kH1DensityCaption = 1053, kH1DensityEdit = 1036, kH1DensitySlider = 1038,
    kH1ExtentCaption = 1054, kH1ExtentEdit = 1037, kH1ExtentSlider = 1052,
    kSpDensityCaption = 1042, kSpDensityEdit = 1040, kSpDensitySlider = 1041,
    kSpExtentCaption = 1045, kSpExtentEdit = 1043, kSpExtentSlider = 1044,
    kSpAmplitudeCaption = 1048, kSpAmplitudeEdit = 1046, kSpAmplitudeSlider = 1047,
    kSpDephaseCaption = 1051, kSpDephaseEdit = 1049, kSpDephaseSlider = 1050,
};

enum AboutDialogControl {
    kAboutText = 1001,
};
