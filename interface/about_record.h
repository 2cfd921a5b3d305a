// The record the host passes with the About selector instead of a FilterRecord.
#pragma once

#include "interface/pi_types.h"

struct SPBasicSuite;

struct AboutRecord {
    void* platformData;  // points to the host's PlatformData
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};
