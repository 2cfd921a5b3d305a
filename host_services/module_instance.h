// The library's module handle: process-wide, written once by the library's
// load-time entry point at process attach and only read afterwards. Dialogs
// and alerts load their resources from it.
#pragma once

#include "platform/win32.h"

extern HINSTANCE ModuleInstance;
