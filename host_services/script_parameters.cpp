#include "host_services/script_parameters.h"

#include "host_services/handle_services.h"
#include "host_services/parameter_block.h"
#include "core/parameter_table.h"
#include "interface/result_codes.h"

namespace {

bool AllReadProcsPresent(const ReadDescriptorProcs* r) {
    return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc && r->getIntegerProc &&
           r->getFloatProc && r->getUnitFloatProc && r->getBooleanProc && r->getTextProc && r->getAliasProc &&
           r->getEnumeratedProc && r->getClassProc && r->getSimpleReferenceProc && r->getObjectProc &&
           r->getCountProc && r->getStringProc && r->getPinnedIntegerProc && r->getPinnedFloatProc &&
           r->getPinnedUnitFloatProc;
}

bool WriteProcsPresent(const WriteDescriptorProcs* w) {
    return w->openWriteDescriptorProc && w->closeWriteDescriptorProc && w->putIntegerProc && w->putEnumeratedProc;
}

const ParameterInfo* FindParameter(DescriptorKeyID key) {
    for (const ParameterInfo& info : kParameterTable)
        if (info.key == key) return &info;
    return nullptr;
}

}  // namespace

bool DescriptorsAvailable(const PIDescriptorParameters* d) {
    if (!d || d->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
    const ReadDescriptorProcs* r = d->readDescriptorProcs;
    const WriteDescriptorProcs* w = d->writeDescriptorProcs;
    if (!r || !w) return false;
    if (r->readDescriptorProcsVersion != kCurrentReadDescriptorProcsVersion ||
        r->numReadDescriptorProcs < kCurrentReadDescriptorProcsCount)
        return false;
    if (w->writeDescriptorProcsVersion != kCurrentWriteDescriptorProcsVersion ||
        w->numWriteDescriptorProcs < kCurrentWriteDescriptorProcsCount)
        return false;
    return AllReadProcsPresent(r);
}

void ReadScriptParameters(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    PIDescriptorParameters* descriptors = record->descriptorParameters;
    if (!DescriptorsAvailable(descriptors)) return;
    const ReadDescriptorProcs* procs = descriptors->readDescriptorProcs;
    FilterParameters* parameters = ParameterBlock(record);

    // The host zeroes each key it returns, so the array must be writable.
    DescriptorKeyID keys[kParameterCount + 1];
    for (int i = 0; i < kParameterCount; ++i) keys[i] = kParameterTable[i].key;
    keys[kParameterCount] = 0;

    PIReadDescriptor token = procs->openReadDescriptorProc(descriptors->descriptor, keys);
    if (token) {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        int32_t flags = 0;
        while (procs->getKeyProc(token, &key, &type, &flags)) {
            const ParameterInfo* info = FindParameter(key);
            if (!info) continue;
            if (info->kind == ParameterKind::Enumerated) {
                DescriptorEnumID value = 0;
                procs->getEnumeratedProc(token, &value);
                if (parameters) parameters->*info->field = ThresholdTypeFromEnumerator(value);
            } else {
                int32_t value = 0;
                procs->getIntegerProc(token, &value);
                if (parameters) parameters->*info->field = int16_t(uint16_t(uint32_t(value) & 0xFFFF));
            }
        }
        OSErr closeResult = procs->closeReadDescriptorProc(token);
        // The descriptor was made by the host: only the host's own procs may free it.
        if (DisposePIHandle(record, descriptors->descriptor)) descriptors->descriptor = nullptr;
        if (closeResult != noErr && closeResult != errMissingParameter) *globals->result = closeResult;
    }
    globals->showDialog = descriptors->playInfo == plugInDialogDisplay ? 1 : 0;
}

void WriteScriptParameters(FilterGlobals* globals) {
    FilterRecord* record = globals->filterRecord;
    PIDescriptorParameters* descriptors = record->descriptorParameters;
    if (!DescriptorsAvailable(descriptors) || !WriteProcsPresent(descriptors->writeDescriptorProcs)) return;
    const FilterParameters* parameters = ParameterBlock(record);
    if (!parameters) return;
    const WriteDescriptorProcs* procs = descriptors->writeDescriptorProcs;

    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (!token) return;
    for (const ParameterInfo& info : kParameterTable) {
        const int16_t value = parameters->*info.field;
        if (info.kind == ParameterKind::Enumerated)
            procs->putEnumeratedProc(token, info.key, kThresholdTypeEnum, EnumeratorFromThresholdType(value));
        else
            procs->putIntegerProc(token, info.key, int32_t(value));
    }
    if (descriptors->descriptor && DisposePIHandle(record, descriptors->descriptor))
        descriptors->descriptor = nullptr;
    PIDescriptorHandle written = nullptr;
    procs->closeWriteDescriptorProc(token, &written);
    descriptors->descriptor = written;
    descriptors->recordInfo = plugInDialogOptional;
}
