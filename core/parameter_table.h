// The one description of the thirteen parameters: which field, its scripting
// key, its label, its range and default, and the dialog controls that show it.
// Scripting, the resources, the dialog and the command line all read it.
#pragma once

#include "core/filter_parameters.h"
#include "interface/pi_types.h"

// How a parameter is scripted and shown.
enum class ParameterKind {
    Integer,     // scripted as an integer ('long'); a caption, an edit field and a trackbar
    Enumerated,  // scripted as an enumerator of the type named by its key; a caption and radio buttons
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
    // Controls of the parameter dialog; an enumeration has a caption only
    // (its radio buttons are in the enumeration's own table).
    int16_t captionId;
    int16_t editId;
    int16_t sliderId;
};

// The thirteen parameters in field order, which is also the order in which
// the dialog fills its controls.
extern const ParameterInfo kParameterTable[kParameterCount];

struct ThresholdTypeInfo {
    ThresholdType value;
    OSType enumerator;  // scripting enumerator of the 'Thty' type
    const char* name;   // English name, as the command line accepts it
    const char* label;  // code page 932 text
    int16_t radioId;    // the dialog's radio button
};

constexpr int kThresholdTypeCount = 3;
extern const ThresholdTypeInfo kThresholdTypeTable[kThresholdTypeCount];

// The enumeration type of thresholdType, which is also its key.
constexpr OSType kThresholdTypeEnum = FourCC("Thty");

// The entry of a field; every field of FilterParameters has one.
const ParameterInfo& ParameterOf(int16_t FilterParameters::*field);

// Writes the thirteen defaults into a block.
void SetDefaultParameters(FilterParameters* parameters);

// The ThresholdType an enumerator stands for; any unknown enumerator counts as Plain.
int16_t ThresholdTypeFromEnumerator(OSType enumerator);
// The enumerator recorded for a thresholdType value; values outside 0..2 give 0.
OSType EnumeratorFromThresholdType(int16_t thresholdType);
