// This file is compiled with code page 932 as its execution character set, so
// that the labels are the Shift-JIS bytes the host interface expects.
#include "core/parameter_table.h"

const ParameterInfo kParameterTable[kParameterCount] = {
    {&FilterParameters::brightness, "brightness", FourCC("Brgh"), "明るさ", 1, 100, 50, ParameterKind::Integer,
     "gain of the streak light (50 = 1x)", 1013, 1014, 1015},
    {&FilterParameters::threshold, "threshold", FourCC("Thsh"), "閾値", 0, 255, 250, ParameterKind::Integer,
     "level, in 8-bit units, from which a pixel emits streaks", 1016, 1017, 1018},
    {&FilterParameters::thresholdType, "thresholdType", FourCC("Thty"), "閾値ﾀｲﾌﾟ", 0, 2, 0,
     ParameterKind::Enumerated,
     "value tested against the threshold: plain, average or weighted (or 0 to 2)", 1034, 0, 0},
    {&FilterParameters::angle, "angle", FourCC("Angl"), "角度", 0, 359, 0, ParameterKind::Integer,
     "direction of the first streak line in degrees, clockwise from horizontal", 1021, 1019, 1020},
    {&FilterParameters::lineType, "lineType", FourCC("Lnty"), "線種", 1, 4, 2, ParameterKind::Integer,
     "streak lines per highlight (1 to 4: 2, 4, 6 or 8 rays)", 1024, 1022, 1023},
    {&FilterParameters::h0Density, "h0Density", FourCC("H0Dn"), "H0強度", 0, 100, 100, ParameterKind::Integer,
     "strength of highlight component H0", 1028, 1026, 1027},
    {&FilterParameters::h0Extent, "h0Extent", FourCC("H0Ex"), "H0広がり", 1, 100, 7, ParameterKind::Integer,
     "spread of H0 along the streak", 1031, 1029, 1030},
    {&FilterParameters::h1Density, "h1Density", FourCC("H1Dn"), "H1強度", 0, 100, 0, ParameterKind::Integer,
     "strength of highlight component H1", 1053, 1036, 1038},
    {&FilterParameters::h1Extent, "h1Extent", FourCC("H1Ex"), "H1広がり", 1, 100, 7, ParameterKind::Integer,
     "spread of H1 along the streak", 1054, 1037, 1052},
    {&FilterParameters::spDensity, "spDensity", FourCC("SPDn"), "SP強度", 0, 100, 25, ParameterKind::Integer,
     "strength of the spectral component SP (coloured fringes)", 1042, 1040, 1041},
    {&FilterParameters::spExtent, "spExtent", FourCC("SPEx"), "SP広がり", 1, 100, 25, ParameterKind::Integer,
     "spread of SP along the streak", 1045, 1043, 1044},
    {&FilterParameters::spAmplitude, "spAmplitude", FourCC("SPAm"), "振幅", 1, 100, 50, ParameterKind::Integer,
     "distance scale of the spectral oscillation", 1048, 1046, 1047},
    {&FilterParameters::spDephase, "spDephase", FourCC("SPDp"), "位相ずれ", 0, 100, 20, ParameterKind::Integer,
     "phase shift of the oscillation between colour planes", 1051, 1049, 1050},
};

const ThresholdTypeInfo kThresholdTypeTable[kThresholdTypeCount] = {
    {Plain, FourCC("TPla"), "plain", "ﾌﾟﾚｰﾝ", 1032},
    {Average, FourCC("TPrg"), "average", "平均", 1033},
    {WeightedAverage, FourCC("TWrg"), "weighted", "加重平均", 1035},
};

const ParameterInfo& ParameterOf(int16_t FilterParameters::*field) {
    for (const ParameterInfo& info : kParameterTable)
        if (info.field == field) return info;
    return kParameterTable[0];  // unreachable: every field has an entry
}

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
