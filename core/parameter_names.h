// The parameters' names outside the plug-in, made from the one table: the
// lower-case, dash-separated name options and properties use ("h0-density"),
// and a short English label ("H0 density").
#pragma once

#include <string>

#include "core/parameter_table.h"

std::string ParameterDashedName(const ParameterInfo& info);
std::string ParameterEnglishLabel(const ParameterInfo& info);
