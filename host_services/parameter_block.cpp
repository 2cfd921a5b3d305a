#include "host_services/parameter_block.h"

#include "core/parameter_table.h"
#include "host_services/handle_services.h"

bool ParameterHandleTooShort(const FilterRecord* record) {
    if (!record || !record->parameters) return false;
    // A size of 0 is a handle whose size cannot be known (a host without
    // usable procs, or one that answers 0 for its own handles): trusted.
    const int32_t size = PIHandleSize(record, record->parameters);
    return size > 0 && size < int32_t(sizeof(FilterParameters));
}

FilterParameters* ParameterBlock(const FilterRecord* record) {
    if (!record || !record->parameters || !*record->parameters) return nullptr;
    if (ParameterHandleTooShort(record)) return nullptr;
    return reinterpret_cast<FilterParameters*>(*record->parameters);
}

Handle NewDefaultParameterBlock() {
    Handle handle = NewOwnHandle(sizeof(FilterParameters));
    if (handle) SetDefaultParameters(reinterpret_cast<FilterParameters*>(*handle));
    return handle;
}

bool CopyParameterBlock(const FilterRecord* record, FilterParameters* parameters) {
    const FilterParameters* block = ParameterBlock(record);
    if (!block) return false;
    *parameters = *block;
    return true;
}
