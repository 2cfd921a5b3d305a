// Built from the parameter table; compiled with code page 932 as its execution
// character set, like the table, so every text is Shift-JIS.
#include "resources/plugin_property_list.h"

#include <string>

#include "core/parameter_table.h"
#include "resources/byte_writer.h"

namespace {

constexpr OSType kVendor = FourCC("8BIM");

// Appends one property: vendor, key, id, length, data padded to a multiple of 4.
void Property(ByteWriter& out, OSType key, uint32_t id, const ByteWriter& data) {
    out.Code(kVendor);
    out.Code(key);
    out.U32(id);
    const size_t padded = (data.Size() + 3) / 4 * 4;
    out.U32(uint32_t(padded));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
    out.Zeros(padded - data.Size());
}

ByteWriter CString(const std::string& text, size_t size) {
    ByteWriter data;
    data.Field(text, size);
    return data;
}

ByteWriter PString(const std::string& text, size_t size) {
    ByteWriter data;
    data.PString(text);
    data.Zeros(size - data.Size());
    return data;
}

ByteWriter Int32(uint32_t value) {
    ByteWriter data;
    data.U32(value);
    return data;
}

// One animation parameter record: label, ids and types, the range twice.
ByteWriter ParameterRecord(const ParameterInfo& info) {
    ByteWriter data;
    data.Field(info.label, 32);
    data.U32(0);  // record id
    data.U32(2);  // data type
    data.U32(2);  // user interface type
    data.F64(info.minimum);
    data.F64(info.maximum);
    data.F64(info.minimum);
    data.F64(info.maximum);
    data.U32(10);  // flags
    data.U32(2);   // byte size of the field
    data.Zeros(16);
    return data;
}

}  // namespace

std::vector<uint8_t> BuildPropertyList(OSType codeProperty) {
    ByteWriter out;
    out.U16(1);
    out.U32(0);   // version
    out.U32(24);  // property count

    Property(out, FourCC("kind"), 0, Int32(FourCC("8BFM")));
    Property(out, FourCC("name"), 0, PString("Glyra...", 12));
    Property(out, FourCC("catg"), 0, PString("TolvexPlug", 12));
    Property(out, FourCC("vers"), 0, Int32(0x00040000));
    Property(out, codeProperty, 0, CString("PluginMain", 12));

    ByteWriter terminology;
    terminology.U32(0);
    terminology.Code(kGlyraEventCode);  // class
    terminology.Code(kGlyraEventCode);  // event
    terminology.U16(kTerminologyId);
    terminology.Field("tolvex Glyra", 32 - 14);
    Property(out, FourCC("hstm"), 0, terminology);

    ByteWriter modes;
    modes.U8(0x40 | 0x10);  // grayscale and RGB; the 16-bit modes are enabled below
    modes.Zeros(3);
    Property(out, FourCC("mode"), 0, modes);
    Property(out, FourCC("enbl"), 0, CString("in (PSHOP_ImageMode, GrayScaleMode, RGBMode, Gray16Mode, RGB48Mode)", 72));

    // The seven filter cases: straight data in and out; the flat cases need not
    // copy the source, the transparency cases work with blank data and layer masks.
    ByteWriter cases;
    for (int i = 0; i < 7; ++i) {
        cases.U8(1);
        cases.U8(1);
        cases.U8(i < 3 ? 0x01 : 0x06);
        cases.U8(0);
    }
    Property(out, FourCC("fici"), 0, cases);

    ByteWriter filterInfo;
    for (uint32_t value : {1u, 0u, 0u, 64u, uint32_t(kParameterCount)}) filterInfo.U32(value);
    filterInfo.Field("Glyra", 48);
    Property(out, FourCC("aFLT"), 0, filterInfo);
    for (int i = 0; i < kParameterCount; ++i)
        Property(out, FourCC("aPAR"), uint32_t(i), ParameterRecord(kParameterTable[i]));
    Property(out, FourCC("eGLO"), 0, Int32(0x00285FFC));
    return out.bytes;
}

std::vector<uint8_t> BuildTerminology() {
    ByteWriter out;
    out.U16(1);
    out.U8(1);  // major version
    out.U8(0);  // minor version
    out.U16(0);  // language
    out.U16(0);  // script
    out.U16(1);  // suites

    out.PString("tolvex");
    out.PString("Glyra Screen Filter");
    out.Code(kGlyraEventCode);
    out.U16(1);  // level
    out.U16(1);  // version
    out.U16(1);  // events

    out.PString("Glyra");
    out.PString("Glyra Screen Filter");
    out.Code(kGlyraEventCode);  // class
    out.Code(kGlyraEventCode);  // event
    out.Code(FourCC("null"));   // reply type
    out.PString("");
    out.U16(0);
    out.Code(FourCC("#ImR"));  // direct parameter: the image
    out.PString("");
    out.U16(0xB000);
    out.U16(kParameterCount);
    for (const ParameterInfo& info : kParameterTable) {
        const bool enumerated = info.kind == ParameterKind::Enumerated;
        out.PString(info.label);
        out.Code(info.key);
        out.Code(enumerated ? kThresholdTypeEnum : FourCC("long"));
        out.PString(info.label);
        out.U16(enumerated ? 0x2000 : 0);
    }

    out.U16(0);  // classes
    out.U16(0);  // comparison operators
    out.U16(1);  // enumerations
    out.Code(kThresholdTypeEnum);
    out.U16(3);
    for (const ThresholdTypeInfo& type : kThresholdTypeTable) {
        out.PString(type.label);
        out.Code(type.enumerator);
        out.PString("");
    }
    return out.bytes;
}
