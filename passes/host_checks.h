// The render's check points answered by the host and the dialog: the message
// pump for the dialog's stop requests, the host's abortProc and progressProc.
// Callbacks the host left empty are skipped.
#pragma once

#include "interface/filter_record.h"
#include "render/render_checks.h"

class HostChecks : public RenderChecks {
public:
    HostChecks(FilterRecord* record, const int32_t* previewState) : record_(record), previewState_(previewState) {}

    bool StopRequested() override;
    bool Aborted() override;
    void Progress(int32_t done, int32_t total) override;

private:
    FilterRecord* record_;
    const int32_t* previewState_;  // null outside a preview
};
