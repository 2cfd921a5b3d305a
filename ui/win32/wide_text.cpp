// The user's UI language and the text conversions, through the system's own
// tables: code page 932 and UTF-8 are converted explicitly, never through the
// system's ANSI code page.
#include "ui/win32/wide_text.h"

#include "ui/ui_texts.h"

namespace {

std::wstring ToWide(UINT codePage, const char* text) {
    if (!text || !*text) return std::wstring();
    const int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], length);
    wide.resize(size_t(length - 1));
    return wide;
}

}  // namespace

std::wstring Widen(const char* utf8) { return ToWide(CP_UTF8, utf8); }

std::string Narrow(const wchar_t* text) {
    if (!text || !*text) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
    utf8.resize(size_t(length - 1));
    return utf8;
}

uint16_t UserUiLanguageId() { return GetUserDefaultUILanguage(); }

std::string Cp932ToUtf8(const char* text) { return Narrow(ToWide(932, text).c_str()); }
