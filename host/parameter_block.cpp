#include "host/parameter_block.h"

#include "host/handle_services.h"
#include "core/parameter_table.h"

FilterParameters* ParameterBlock(const FilterRecord* record) {
    if (!record || !record->parameters || !*record->parameters) return nullptr;
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
