#include "tests/emulated_host/recorded_parameters.h"

#include "core/parameter_table.h"

std::vector<ScriptValue> RecordedParameters(const FilterParameters& parameters) {
    std::vector<ScriptValue> values;
    for (const ParameterInfo& info : kParameterTable) {
        const int16_t value = parameters.*info.field;
        if (info.kind == ParameterKind::Enumerated)
            values.push_back(ScriptValue{info.key, typeEnumerated, int32_t(EnumeratorFromThresholdType(value)),
                                         kThresholdTypeEnum});
        else
            values.push_back(ScriptValue{info.key, typeInteger, value, 0});
    }
    return values;
}
