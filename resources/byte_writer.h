// Little-endian byte building for the resource generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ByteWriter {
    std::vector<uint8_t> bytes;

    void U8(uint32_t v) { bytes.push_back(uint8_t(v)); }
    void U16(uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    void F64(double v) {
        uint64_t bits;
        static_assert(sizeof bits == sizeof v, "doubles are 64-bit");
        __builtin_memcpy(&bits, &v, sizeof v);
        U32(uint32_t(bits));
        U32(uint32_t(bits >> 32));
    }
    // A four-character code as a little-endian 32-bit value: '8BIM' -> "MIB8".
    void Code(uint32_t code) { U32(code); }
    void Raw(const char* text, size_t length) { bytes.insert(bytes.end(), text, text + length); }
    // A length byte, then the characters.
    void PString(const std::string& text) {
        U8(uint32_t(text.size()));
        Raw(text.data(), text.size());
    }
    // The characters, a NUL, then zeros up to the field's size.
    void Field(const std::string& text, size_t size) {
        Raw(text.data(), text.size());
        Zeros(size - text.size());
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void AlignTo(size_t multiple) {
        while (bytes.size() % multiple) U8(0);
    }
    void Utf16(const std::u16string& text) {
        for (char16_t c : text) U16(c);
        U16(0);
    }
    size_t Size() const { return bytes.size(); }
};
