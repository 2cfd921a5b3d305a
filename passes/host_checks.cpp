#include "passes/host_checks.h"

#include "passes/message_pump.h"

bool HostChecks::StopRequested() { return PumpMessages(previewState_); }

bool HostChecks::Aborted() { return record_->abortProc && record_->abortProc(); }

void HostChecks::Progress(int32_t done, int32_t total) {
    if (record_->progressProc) record_->progressProc(done, total);
}
