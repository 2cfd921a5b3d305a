// Scripting descriptors: the records through which a host records and replays
// a filter's parameters.
#pragma once

#include "interface/pi_types.h"

typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;
typedef Handle PIDescriptorHandle;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef uint32_t DescriptorEnumID;
typedef uint32_t DescriptorUnitID;
typedef uint32_t DescriptorClassID;
typedef uint8_t Str255[256];

struct PIDescriptorSimpleReference {
    DescriptorTypeID desiredClass;
    DescriptorKeyID keyForm;
    struct {
        Str255 name;
        int32_t index;
        DescriptorTypeID type;
        DescriptorEnumID value;
    } keyData;
};

// Read procs, in table order.
typedef PIReadDescriptor(PI_CALL* OpenReadDescriptorProc)(PIDescriptorHandle, DescriptorKeyID*);
typedef OSErr(PI_CALL* CloseReadDescriptorProc)(PIReadDescriptor);
typedef Boolean(PI_CALL* GetKeyProc)(PIReadDescriptor, DescriptorKeyID*, DescriptorTypeID*, int32_t*);
typedef OSErr(PI_CALL* GetIntegerProc)(PIReadDescriptor, int32_t*);
typedef OSErr(PI_CALL* GetFloatProc)(PIReadDescriptor, double*);
typedef OSErr(PI_CALL* GetUnitFloatProc)(PIReadDescriptor, DescriptorUnitID*, double*);
typedef OSErr(PI_CALL* GetBooleanProc)(PIReadDescriptor, Boolean*);
typedef OSErr(PI_CALL* GetTextProc)(PIReadDescriptor, Handle*);
typedef OSErr(PI_CALL* GetAliasProc)(PIReadDescriptor, Handle*);
typedef OSErr(PI_CALL* GetEnumeratedProc)(PIReadDescriptor, DescriptorEnumID*);
typedef OSErr(PI_CALL* GetClassProc)(PIReadDescriptor, DescriptorTypeID*);
typedef OSErr(PI_CALL* GetSimpleReferenceProc)(PIReadDescriptor, PIDescriptorSimpleReference*);
typedef OSErr(PI_CALL* GetObjectProc)(PIReadDescriptor, DescriptorTypeID*, PIDescriptorHandle*);
typedef OSErr(PI_CALL* GetCountProc)(PIReadDescriptor, uint32_t*);
typedef OSErr(PI_CALL* GetStringProc)(PIReadDescriptor, Str255*);
typedef OSErr(PI_CALL* GetPinnedIntegerProc)(PIReadDescriptor, int32_t, int32_t, int32_t*);
typedef OSErr(PI_CALL* GetPinnedFloatProc)(PIReadDescriptor, const double*, const double*, double*);
typedef OSErr(PI_CALL* GetPinnedUnitFloatProc)(PIReadDescriptor, const double*, const double*,
                                               DescriptorUnitID*, double*);

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetUnitFloatProc getUnitFloatProc;
    GetBooleanProc getBooleanProc;
    GetTextProc getTextProc;
    GetAliasProc getAliasProc;
    GetEnumeratedProc getEnumeratedProc;
    GetClassProc getClassProc;
    GetSimpleReferenceProc getSimpleReferenceProc;
    GetObjectProc getObjectProc;
    GetCountProc getCountProc;
    GetStringProc getStringProc;
    GetPinnedIntegerProc getPinnedIntegerProc;
    GetPinnedFloatProc getPinnedFloatProc;
    GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

// Write procs, in table order.
typedef PIWriteDescriptor(PI_CALL* OpenWriteDescriptorProc)(void);
typedef OSErr(PI_CALL* CloseWriteDescriptorProc)(PIWriteDescriptor, PIDescriptorHandle*);
typedef OSErr(PI_CALL* PutIntegerProc)(PIWriteDescriptor, DescriptorKeyID, int32_t);
typedef OSErr(PI_CALL* PutFloatProc)(PIWriteDescriptor, DescriptorKeyID, const double*);
typedef OSErr(PI_CALL* PutUnitFloatProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID, const double*);
typedef OSErr(PI_CALL* PutBooleanProc)(PIWriteDescriptor, DescriptorKeyID, Boolean);
typedef OSErr(PI_CALL* PutTextProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
typedef OSErr(PI_CALL* PutAliasProc)(PIWriteDescriptor, DescriptorKeyID, Handle);
typedef OSErr(PI_CALL* PutEnumeratedProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, DescriptorEnumID);
typedef OSErr(PI_CALL* PutClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
typedef OSErr(PI_CALL* PutSimpleReferenceProc)(PIWriteDescriptor, DescriptorKeyID,
                                               const PIDescriptorSimpleReference*);
typedef OSErr(PI_CALL* PutObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle);
typedef OSErr(PI_CALL* PutCountProc)(PIWriteDescriptor, DescriptorKeyID, uint32_t);
typedef OSErr(PI_CALL* PutStringProc)(PIWriteDescriptor, DescriptorKeyID, const uint8_t*);
typedef OSErr(PI_CALL* PutScopedClassProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
typedef OSErr(PI_CALL* PutScopedObjectProc)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID,
                                            PIDescriptorHandle);

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutUnitFloatProc putUnitFloatProc;
    PutBooleanProc putBooleanProc;
    PutTextProc putTextProc;
    PutAliasProc putAliasProc;
    PutEnumeratedProc putEnumeratedProc;
    PutClassProc putClassProc;
    PutSimpleReferenceProc putSimpleReferenceProc;
    PutObjectProc putObjectProc;
    PutCountProc putCountProc;
    PutStringProc putStringProc;
    PutScopedClassProc putScopedClassProc;
    PutScopedObjectProc putScopedObjectProc;
};

struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

constexpr int16_t kCurrentDescriptorParametersVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsCount = 18;
constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16_t kCurrentWriteDescriptorProcsCount = 16;

constexpr DescriptorTypeID typeInteger = FourCC("long");
constexpr DescriptorTypeID typeEnumerated = FourCC("enum");
constexpr DescriptorTypeID typeNull = FourCC("null");
constexpr DescriptorTypeID typeImageReference = FourCC("#ImR");

constexpr int32_t actionEnumeratedParameter = 0x2000;
constexpr int32_t actionListParameter = 0x4000;
constexpr int32_t actionOptionalParameter = 0x8000;
