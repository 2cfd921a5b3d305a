// This file is compiled with code page 932 as its execution character set, so
// that the labels are the Shift-JIS bytes the host interface expects.
#include "host/parameter_table.h"

const ParameterInfo kParameterTable[kParameterCount] = {
    {&FilterParameters::brightness, "brightness", FourCC("Brgh"), "明るさ", 1, 100, 50, ParameterKind::Integer},
    {&FilterParameters::threshold, "threshold", FourCC("Thsh"), "閾値", 0, 255, 250, ParameterKind::Integer},
    {&FilterParameters::thresholdType, "thresholdType", FourCC("Thty"), "閾値ﾀｲﾌﾟ", 0, 2, 0,
     ParameterKind::Enumerated},
    {&FilterParameters::angle, "angle", FourCC("Angl"), "角度", 0, 359, 0, ParameterKind::Integer},
    {&FilterParameters::lineType, "lineType", FourCC("Lnty"), "線種", 1, 4, 2, ParameterKind::Integer},
    {&FilterParameters::h0Density, "h0Density", FourCC("H0Dn"), "H0強度", 0, 100, 100, ParameterKind::Integer},
    {&FilterParameters::h0Extent, "h0Extent", FourCC("H0Ex"), "H0広がり", 1, 100, 7, ParameterKind::Integer},
    {&FilterParameters::h1Density, "h1Density", FourCC("H1Dn"), "H1強度", 0, 100, 0, ParameterKind::Integer},
    {&FilterParameters::h1Extent, "h1Extent", FourCC("H1Ex"), "H1広がり", 1, 100, 7, ParameterKind::Integer},
    {&FilterParameters::spDensity, "spDensity", FourCC("SPDn"), "SP強度", 0, 100, 25, ParameterKind::Integer},
    {&FilterParameters::spExtent, "spExtent", FourCC("SPEx"), "SP広がり", 1, 100, 25, ParameterKind::Integer},
    {&FilterParameters::spAmplitude, "spAmplitude", FourCC("SPAm"), "振幅", 1, 100, 50, ParameterKind::Integer},
    {&FilterParameters::spDephase, "spDephase", FourCC("SPDp"), "位相ずれ", 0, 100, 20, ParameterKind::Integer},
};

const ThresholdTypeInfo kThresholdTypeTable[3] = {
    {Plain, FourCC("TPla"), "plain", "ﾌﾟﾚｰﾝ"},
    {Average, FourCC("TPrg"), "average", "平均"},
    {WeightedAverage, FourCC("TWrg"), "weighted", "加重平均"},
};

void SetDefaultParameters(FilterParameters* parameters) {
    for (const ParameterInfo& info : kParameterTable) parameters->*info.field = info.defaultValue;
}

int16_t ThresholdTypeFromEnumerator(OSType enumerator) {
    for (const ThresholdTypeInfo& info : kThresholdTypeTable)
        if (info.enumerator == enumerator) return info.value;
    return Plain;
}

OSType EnumeratorFromThresholdType(int16_t thresholdType) {
    for (const ThresholdTypeInfo& info : kThresholdTypeTable)
        if (info.value == thresholdType) return info.enumerator;
    return 0;
}
