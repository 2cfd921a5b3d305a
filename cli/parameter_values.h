// The thirteen parameters as the command takes them, from options or a
// preset: names in the command's spelling, values checked against the
// parameter table with one set of messages.
#pragma once

#include <string>
#include <vector>

#include "core/parameter_table.h"

// "h0Density" -> "h0-density": the option and preset name of a parameter.
std::string CommandName(const ParameterInfo& info);

// The parameter of a command name; null when there is none.
const ParameterInfo* ParameterByCommandName(const std::string& name);

// Reads a value given as text: an integer in the parameter's range, or for the
// threshold type a name (plain, average, weighted, in any case) or its number.
// On failure *error says what is wrong, without the parameter's name.
bool ParseParameterValue(const ParameterInfo& info, const std::string& text, int16_t* value, std::string* error);

// The text of a value as ParseParameterValue reads it back (the threshold type by name).
std::string ParameterValueText(const ParameterInfo& info, int16_t value);

// The valid values of a parameter, for help texts: "0..359" or "plain, average, weighted".
std::string ParameterRangeText(const ParameterInfo& info);

// The known name nearest to a mistyped one (by edits), or empty when none is close.
std::string NearestName(const std::string& typed, const std::vector<std::string>& known);
