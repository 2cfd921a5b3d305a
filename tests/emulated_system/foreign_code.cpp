#include "tests/emulated_system/platform_testing.h"

namespace {
thread_local int tForeignDepth = 0;
}

ForeignCodeScope::ForeignCodeScope() { ++tForeignDepth; }
ForeignCodeScope::~ForeignCodeScope() { --tForeignDepth; }
bool InForeignCode() { return tForeignDepth > 0; }
