// Every test host in the test program fails the running test when one of its
// handle procs is given a handle it did not make: a host's procs are defined
// only for its own handles.
#include <gtest/gtest.h>

#include "tests/test_host.h"

namespace {

const bool kInstalled = [] {
    TestHost::SetForeignHandleObserver([](const char* proc) {
        ADD_FAILURE() << "the host's " << proc << " was given a handle the host did not make";
    });
    return true;
}();

}  // namespace
