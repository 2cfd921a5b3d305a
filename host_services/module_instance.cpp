#include "host_services/module_instance.h"

HINSTANCE ModuleInstance = nullptr;
