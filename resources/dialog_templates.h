// The binary dialog templates of the parameter dialog (classic layout) and
// the About box (extended layout), as the resource compiler would store them.
#pragma once

#include <cstdint>
#include <vector>

std::vector<uint8_t> BuildParameterDialogTemplate();
std::vector<uint8_t> BuildAboutDialogTemplate();
