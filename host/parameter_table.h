// The one description of the thirteen parameters: which field, its scripting
// key, its label, its range and default. Scripting, the resources, the dialog
// and the command line all read it.
#pragma once

#include "host/filter_parameters.h"
#include "interface/pi_types.h"

enum class ParameterKind {
    Integer,     // scripted as an integer ('long')
    Enumerated,  // scripted as an enumerator of the type named by its key
};

struct ParameterInfo {
    int16_t FilterParameters::*field;
    const char* name;   // the field's name, lower camel case
    OSType key;         // scripting key
    const char* label;  // code page 932 text: dialog caption, resource and terminology name
    int16_t minimum;
    int16_t maximum;
    int16_t defaultValue;
    ParameterKind kind;
    const char* help;   // one line of English for the command line
};

// The thirteen parameters in field order.
extern const ParameterInfo kParameterTable[kParameterCount];

struct ThresholdTypeInfo {
    ThresholdType value;
    OSType enumerator;  // scripting enumerator of the 'Thty' type
    const char* name;   // English name, as the command line accepts it
    const char* label;  // code page 932 text
};

extern const ThresholdTypeInfo kThresholdTypeTable[3];

// The enumeration type of thresholdType, which is also its key.
constexpr OSType kThresholdTypeEnum = FourCC("Thty");

// Writes the thirteen defaults into a block.
void SetDefaultParameters(FilterParameters* parameters);

// The ThresholdType an enumerator stands for; any unknown enumerator counts as Plain.
int16_t ThresholdTypeFromEnumerator(OSType enumerator);
// The enumerator recorded for a thresholdType value; values outside 0..2 give 0.
OSType EnumeratorFromThresholdType(int16_t thresholdType);
