// Presets: the thirteen parameters in a small TOML file, one line each, named
// as the options are:
//
//     # glyra preset
//     brightness = 60
//     threshold-type = "average"
//     line-type = 4
//
// A preset may name any of them; the others keep their defaults (or what the
// command line says, which always wins).
#pragma once

#include <string>

#include "core/filter_parameters.h"

// Reads the parameters a preset names into *parameters and marks them in
// *named (one flag per parameter, in table order). False with a message
// naming the file, the line and what is wrong.
bool ReadPreset(const std::string& path, FilterParameters* parameters, bool named[kParameterCount],
                std::string* error);

// The text of a preset holding all thirteen values.
std::string PresetText(const FilterParameters& parameters);

// Whether a file is a preset (empty, or TOML naming only parameters): only
// such a file may be written over without --force.
bool IsPresetFile(const std::string& path);
