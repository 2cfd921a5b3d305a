#include "ui/alert_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void AppendPString(PString destination, const char* source, int first, int count) {
    int length = destination[0];
    if (count > kMaxPStringLength - length) count = kMaxPStringLength - length;
    if (count > 0) {
        std::memcpy(destination + 1 + length, source + first, size_t(count));
        length += count;
    }
    destination[0] = uint8_t(length);
    destination[1 + length] = 0;
}

void LongToPString(int32_t value, PString out) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%ld", long(value));
    out[0] = 0;
    out[1] = 0;
    AppendPString(out, digits, 0, int(std::strlen(digits)));
}

void DoubleToPString(double value, int fractionDigits, PString out) {
    fractionDigits = fractionDigits < 0 ? 0 : fractionDigits > 9 ? 9 : fractionDigits;  // a 32-bit whole part
    long long scale = 1;
    for (int i = 0; i < fractionDigits; ++i) scale *= 10;
    const long long scaled = std::llround(std::fabs(value) * double(scale));
    char digits[48];
    std::snprintf(digits, sizeof digits, "%s%lld", value < 0 && scaled != 0 ? "-" : "", scaled / scale);
    out[0] = 0;
    out[1] = 0;
    AppendPString(out, digits, 0, int(std::strlen(digits)));
    if (fractionDigits <= 0) return;
    std::snprintf(digits, sizeof digits, ".%0*d", fractionDigits, int(scaled % scale));
    AppendPString(out, digits, 0, int(std::strlen(digits)));
}

void ExpandAlertText(PString text, const PString text0, const PString text1, const PString text2) {
    const unsigned char* given[3] = {text0, text1, text2};
    PString result = {0};
    int at = 1;
    const int end = 1 + text[0];
    while (at < end) {
        if (text[at] == '^' && at + 1 < end && text[at + 1] >= '0' && text[at + 1] <= '2') {
            const unsigned char* insert = given[text[at + 1] - '0'];
            if (insert) AppendPString(result, reinterpret_cast<const char*>(insert), 1, insert[0]);
            at += 2;
        } else {
            AppendPString(result, reinterpret_cast<const char*>(text), at, 1);
            ++at;
        }
    }
    std::memcpy(text, result, sizeof(PString));
}
