// Real hosts' habits, one profile a host, for the test host: how each differs
// from Photoshop in the handle procs, the parameters handle, the record at
// Parameters, threads and result codes. The tests, the fuzzing host and the
// Windows end-to-end run draw on the same list.
#pragma once

#include <vector>

#include "tests/test_host.h"

enum class HostProfile {
    Photoshop,    // keeps the parameters handle, sizes only its own handles
    PspiHost,     // getSize: GlobalSize for foreign handles, 0 for its own; frees foreign handles;
                  // parameters null every run; descriptor proc tables null; always calls Parameters
    Affinity,     // handle suite present with version and count 0; drops result codes
    PhotoFiltre,  // no handle suite
    GimpPspi,     // zero sizes at Parameters; parameters null at every run; no descriptors; owner window 0
    PaintNet,     // selectors on a worker thread; parameter bytes rebuilt into a fresh host handle; no dialog on repeat
    SilentHost,   // drops result codes (IrfanView, XnView, Affinity 1.9)
};

struct HostProfileInfo {
    HostProfile profile;
    const char* name;
    // Where the parameters live between two runs: true when the user's values
    // of one run reach the next (the host keeps or rebuilds the block).
    bool parametersPersist;
    // Repeat runs skip Parameters (no dialog unless scripting asks for one).
    bool repeatSkipsParameters;
};

const std::vector<HostProfileInfo>& HostProfiles();
const HostProfileInfo& ProfileInfo(HostProfile profile);

// The settings that play the host.
HostSettings ProfileSettings(HostProfile profile);
