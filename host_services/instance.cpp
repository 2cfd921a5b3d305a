#include "host_services/instance.h"

#include "host_services/handle_services.h"
#include "host_services/parameter_block.h"
#include "interface/result_codes.h"

void InitInstance(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    record->supportsPadding = 0;
    globals->previewPixels = nullptr;
    globals->previewMask = nullptr;
    globals->transparencyPlane = nullptr;
    globals->hasTransparency = (record->planes == 3 || record->planes == 1) && record->inTransparencyMask != 0;
    if (ParameterHandleTooShort(record)) {
        // A block cut short is no block: the handle goes back to its maker
        // and the defaults take its place.
        DisposePIHandle(record, record->parameters);
        record->parameters = nullptr;
    }
    if (!record->parameters) {
        record->parameters = NewDefaultParameterBlock();
        if (!record->parameters) *globals->result = memFullErr;
    }
}
