#include "host/module_instance.h"

HINSTANCE ModuleInstance = nullptr;
