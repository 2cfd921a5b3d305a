// The descriptor a host holds after recording a parameter block: what a
// recorded action replays into the filter.
#pragma once

#include <vector>

#include "core/filter_parameters.h"
#include "tests/emulated_host/filter_host.h"

// The thirteen values in key order, the threshold type as its enumerator.
std::vector<ScriptValue> RecordedParameters(const FilterParameters& parameters);
