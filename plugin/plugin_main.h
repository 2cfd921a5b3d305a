// The entry point of the filter interface: the host calls it once per step of
// a filter run with a selector.
#pragma once

#include <cstdint>

#include "interface/pi_types.h"

extern "C" void PI_CALL PluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result);
