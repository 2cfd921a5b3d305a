#include "tests/emulated_host/script_descriptors.h"

#include <cstring>
#include <memory>

#include "interface/result_codes.h"
#include "tests/emulated_system/platform_testing.h"

namespace {

struct Reader {
    std::vector<ScriptValue> values;
    size_t next = 0;  // index of the entry after the current one
    DescriptorKeyID* keyArray = nullptr;
    OSErr error = noErr;
};

struct Writer {
    std::vector<ScriptValue> values;
};

Reader* AsReader(PIReadDescriptor token) { return reinterpret_cast<Reader*>(token); }
Writer* AsWriter(PIWriteDescriptor token) { return reinterpret_cast<Writer*>(token); }

// Errors are sticky: the most serious (most negative) one is kept.
void Note(Reader* reader, OSErr error) {
    if (error < reader->error) reader->error = error;
}

const ScriptValue* Current(Reader* reader) {
    return reader && reader->next > 0 && reader->next <= reader->values.size() ? &reader->values[reader->next - 1]
                                                                                  : nullptr;
}

PIReadDescriptor PI_CALL OpenRead(PIDescriptorHandle descriptor, DescriptorKeyID* keyArray) {
    ForeignCodeScope hostCode;
    FilterHost* host = ActiveHost();
    if (!host || host->RefusesReadToken()) return nullptr;
    auto reader = std::make_unique<Reader>();
    reader->keyArray = keyArray;
    if (descriptor && *descriptor) reader->values = DecodeDescriptor(*descriptor, host->HandleBytes(descriptor));
    return reinterpret_cast<PIReadDescriptor>(reader.release());
}

OSErr PI_CALL CloseRead(PIReadDescriptor token) {
    ForeignCodeScope hostCode;
    std::unique_ptr<Reader> reader(AsReader(token));
    if (!reader) return paramErr;
    if (reader->keyArray && reader->keyArray[0]) Note(reader.get(), errMissingParameter);
    FilterHost* host = ActiveHost();
    return host ? host->CloseReadResult(reader->error) : reader->error;
}

Boolean PI_CALL GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    ForeignCodeScope hostCode;
    Reader* reader = AsReader(token);
    if (!reader || reader->next >= reader->values.size()) return 0;
    const ScriptValue& value = reader->values[reader->next++];
    if (key) *key = value.key;
    if (type) *type = value.type;
    if (flags) *flags = 0;
    // A key that has been returned leaves the array, which stays 0-terminated.
    if (DescriptorKeyID* keys = reader->keyArray) {
        size_t length = 0, kept = 0;
        while (keys[length]) ++length;
        for (size_t i = 0; i < length; ++i)
            if (keys[i] != value.key) keys[kept++] = keys[i];
        for (size_t i = kept; i < length; ++i) keys[i] = 0;
    }
    return 1;
}

OSErr PI_CALL GetInteger(PIReadDescriptor token, int32_t* value) {
    ForeignCodeScope hostCode;
    Reader* reader = AsReader(token);
    const ScriptValue* current = Current(reader);
    if (!current || current->type != typeInteger) {
        if (reader) Note(reader, paramErr);
        return paramErr;
    }
    if (value) *value = current->value;
    return noErr;
}

OSErr PI_CALL GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
    ForeignCodeScope hostCode;
    Reader* reader = AsReader(token);
    const ScriptValue* current = Current(reader);
    if (!current || current->type != typeEnumerated) {
        if (reader) Note(reader, paramErr);
        return paramErr;
    }
    if (value) *value = DescriptorEnumID(current->value);
    return noErr;
}

// The value kinds this host does not store answer with an error.
OSErr Refuse(PIReadDescriptor token) {
    if (Reader* reader = AsReader(token)) Note(reader, paramErr);
    return paramErr;
}
OSErr PI_CALL GetFloat(PIReadDescriptor t, double*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetUnitFloat(PIReadDescriptor t, DescriptorUnitID*, double*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetBoolean(PIReadDescriptor t, Boolean*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetText(PIReadDescriptor t, Handle*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetClass(PIReadDescriptor t, DescriptorTypeID*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetSimpleReference(PIReadDescriptor t, PIDescriptorSimpleReference*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetObject(PIReadDescriptor t, DescriptorTypeID*, PIDescriptorHandle*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetCount(PIReadDescriptor t, uint32_t*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetString(PIReadDescriptor t, Str255*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetPinnedFloat(PIReadDescriptor t, const double*, const double*, double*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetPinnedUnitFloat(PIReadDescriptor t, const double*, const double*, DescriptorUnitID*, double*) {
    ForeignCodeScope hostCode;
    return Refuse(t);
}
OSErr PI_CALL GetPinnedInteger(PIReadDescriptor token, int32_t minimum, int32_t maximum, int32_t* value) {
    ForeignCodeScope hostCode;
    OSErr error = GetInteger(token, value);
    if (error == noErr && value) *value = *value < minimum ? minimum : *value > maximum ? maximum : *value;
    return error;
}

PIWriteDescriptor PI_CALL OpenWrite() {
    ForeignCodeScope hostCode;
    return reinterpret_cast<PIWriteDescriptor>(new Writer);
}

OSErr PI_CALL CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* result) {
    ForeignCodeScope hostCode;
    std::unique_ptr<Writer> writer(AsWriter(token));
    if (!writer) return paramErr;
    FilterHost* host = ActiveHost();
    std::vector<char> bytes = EncodeDescriptor(writer->values);
    Handle handle = host ? host->NewHandle(int32_t(bytes.size())) : nullptr;
    if (!handle) return memFullErr;
    if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    if (result) *result = handle;
    return noErr;
}

OSErr PI_CALL PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32_t value) {
    ForeignCodeScope hostCode;
    Writer* writer = AsWriter(token);
    if (!writer) return paramErr;
    writer->values.push_back(ScriptValue{key, typeInteger, value, 0});
    return noErr;
}

OSErr PI_CALL PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                            DescriptorEnumID value) {
    ForeignCodeScope hostCode;
    Writer* writer = AsWriter(token);
    if (!writer) return paramErr;
    writer->values.push_back(ScriptValue{key, typeEnumerated, int32_t(value), type});
    return noErr;
}

OSErr PI_CALL PutFloat(PIWriteDescriptor, DescriptorKeyID, const double*) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutUnitFloat(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutBoolean(PIWriteDescriptor, DescriptorKeyID, Boolean) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutText(PIWriteDescriptor, DescriptorKeyID, Handle) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutClass(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutSimpleReference(PIWriteDescriptor, DescriptorKeyID, const PIDescriptorSimpleReference*) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutObject(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutCount(PIWriteDescriptor, DescriptorKeyID, uint32_t) {
    ForeignCodeScope hostCode;
    return paramErr;
}
OSErr PI_CALL PutString(PIWriteDescriptor, DescriptorKeyID, const uint8_t*) {
    ForeignCodeScope hostCode;
    return paramErr;
}

thread_local FilterHost* tActiveHost = nullptr;

}  // namespace

FilterHost* ActiveHost() { return tActiveHost; }
void SetActiveHost(FilterHost* host) { tActiveHost = host; }

std::vector<ScriptValue> DecodeDescriptor(const char* bytes, int32_t size) {
    std::vector<ScriptValue> values;
    constexpr size_t kEntry = 16;
    for (size_t at = 0; bytes && size > 0 && at + kEntry <= size_t(size); at += kEntry) {
        ScriptValue value;
        std::memcpy(&value.key, bytes + at, 4);
        std::memcpy(&value.type, bytes + at + 4, 4);
        std::memcpy(&value.value, bytes + at + 8, 4);
        std::memcpy(&value.enumType, bytes + at + 12, 4);
        values.push_back(value);
    }
    return values;
}

std::vector<char> EncodeDescriptor(const std::vector<ScriptValue>& values) {
    std::vector<char> bytes(values.size() * 16);
    for (size_t i = 0; i < values.size(); ++i) {
        std::memcpy(&bytes[i * 16], &values[i].key, 4);
        std::memcpy(&bytes[i * 16 + 4], &values[i].type, 4);
        std::memcpy(&bytes[i * 16 + 8], &values[i].value, 4);
        std::memcpy(&bytes[i * 16 + 12], &values[i].enumType, 4);
    }
    return bytes;
}

void InitDescriptors(FilterHost::Descriptors* d) {
    ReadDescriptorProcs& r = d->readProcs;
    r.readDescriptorProcsVersion = kCurrentReadDescriptorProcsVersion;
    r.numReadDescriptorProcs = kCurrentReadDescriptorProcsCount;
    r.openReadDescriptorProc = OpenRead;
    r.closeReadDescriptorProc = CloseRead;
    r.getKeyProc = GetKey;
    r.getIntegerProc = GetInteger;
    r.getFloatProc = GetFloat;
    r.getUnitFloatProc = GetUnitFloat;
    r.getBooleanProc = GetBoolean;
    r.getTextProc = GetText;
    r.getAliasProc = GetText;
    r.getEnumeratedProc = GetEnumerated;
    r.getClassProc = GetClass;
    r.getSimpleReferenceProc = GetSimpleReference;
    r.getObjectProc = GetObject;
    r.getCountProc = GetCount;
    r.getStringProc = GetString;
    r.getPinnedIntegerProc = GetPinnedInteger;
    r.getPinnedFloatProc = GetPinnedFloat;
    r.getPinnedUnitFloatProc = GetPinnedUnitFloat;

    WriteDescriptorProcs& w = d->writeProcs;
    w.writeDescriptorProcsVersion = kCurrentWriteDescriptorProcsVersion;
    w.numWriteDescriptorProcs = kCurrentWriteDescriptorProcsCount;
    w.openWriteDescriptorProc = OpenWrite;
    w.closeWriteDescriptorProc = CloseWrite;
    w.putIntegerProc = PutInteger;
    w.putFloatProc = PutFloat;
    w.putUnitFloatProc = PutUnitFloat;
    w.putBooleanProc = PutBoolean;
    w.putTextProc = PutText;
    w.putAliasProc = PutText;
    w.putEnumeratedProc = PutEnumerated;
    w.putClassProc = PutClass;
    w.putSimpleReferenceProc = PutSimpleReference;
    w.putObjectProc = PutObject;
    w.putCountProc = PutCount;
    w.putStringProc = PutString;
    w.putScopedClassProc = PutClass;
    w.putScopedObjectProc = PutObject;

    d->parameters.descriptorParametersVersion = kCurrentDescriptorParametersVersion;
    d->parameters.readDescriptorProcs = &d->readProcs;
    d->parameters.writeDescriptorProcs = &d->writeProcs;
}
