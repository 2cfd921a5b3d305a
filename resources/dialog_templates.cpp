#include "resources/dialog_templates.h"

#include <string>
#include <vector>

#include "core/parameter_table.h"
#include "resources/byte_writer.h"
#include "ui/dialog_ids.h"

namespace {

// Predefined window classes, stored as ordinals.
constexpr uint16_t kButtonClass = 0x80;
constexpr uint16_t kEditClass = 0x81;
constexpr uint16_t kStaticClass = 0x82;
constexpr uint16_t kTrackbarClass = 0;  // stored by name
const std::u16string kTrackbarClassName = u"msctls_trackbar32";

constexpr uint32_t kEditStyle = 0x50810080;       // border, tab stop, auto-scroll
constexpr uint32_t kTrackbarStyle = 0x50010018;   // tab stop, both, no ticks
constexpr uint32_t kCaptionStyle = 0x50020200;    // group, left, centred vertically
constexpr uint32_t kGroupBoxStyle = 0x50000007;
constexpr uint32_t kPushButtonStyle = 0x50010000;
constexpr uint32_t kRadioStyle = 0x50010009;

struct Control {
    uint16_t id;
    uint16_t windowClass;
    std::u16string text;
    int16_t x, y, cx, cy;
    uint32_t style;
};

const std::u16string kFontName = u"ＭＳ Ｐゴシック";

uint16_t Caption(int16_t FilterParameters::*field) { return uint16_t(ParameterOf(field).captionId); }
uint16_t Edit(int16_t FilterParameters::*field) { return uint16_t(ParameterOf(field).editId); }
uint16_t Slider(int16_t FilterParameters::*field) { return uint16_t(ParameterOf(field).sliderId); }
uint16_t Radio(ThresholdType type) { return uint16_t(kThresholdTypeTable[type].radioId); }

// The parameter dialog's controls in template order, which is also the tab
// order. The ids of the parameters' controls come from the parameter table.
std::vector<Control> ParameterControls() {
    using P = FilterParameters;
    return {
        {kOkButton, kButtonClass, u"OK", 268, 7, 50, 14, 0x50010001},
        {kCancelButton, kButtonClass, u"ｷｬﾝｾﾙ", 268, 24, 50, 14, kPushButtonStyle},
        {kPreviewPane, kStaticClass, u"", 165, 7, 78, 69, 0x50000107},
        {kZoomInButton, kButtonClass, u"+", 249, 10, 13, 15, kPushButtonStyle},
        {kZoomOutButton, kButtonClass, u"-", 249, 59, 13, 15, kPushButtonStyle},
        {kGeneralGroup, kButtonClass, u"General", 165, 80, 153, 104, kGroupBoxStyle},
        {Edit(&P::brightness), kEditClass, u"", 289, 91, 20, 12, kEditStyle},
        {Edit(&P::threshold), kEditClass, u"", 289, 109, 20, 12, kEditStyle},
        {Radio(Plain), kButtonClass, u"Plain", 214, 129, 30, 10, kRadioStyle},
        {Radio(Average), kButtonClass, u"RGB", 246, 129, 25, 10, kRadioStyle},
        {Radio(WeightedAverage), kButtonClass, u"WRGB", 274, 129, 38, 10, kRadioStyle},
        {Edit(&P::angle), kEditClass, u"", 289, 145, 20, 12, kEditStyle},
        {Edit(&P::lineType), kEditClass, u"", 289, 163, 20, 12, kEditStyle},
        {Edit(&P::h0Density), kEditClass, u"", 130, 20, 20, 12, kEditStyle},
        {Edit(&P::h0Extent), kEditClass, u"", 130, 37, 20, 12, kEditStyle},
        {Edit(&P::spDensity), kEditClass, u"", 130, 111, 20, 12, kEditStyle},
        {Edit(&P::spExtent), kEditClass, u"", 130, 128, 20, 12, kEditStyle},
        {Edit(&P::spAmplitude), kEditClass, u"", 130, 146, 20, 12, kEditStyle},
        {Edit(&P::spDephase), kEditClass, u"", 130, 164, 20, 12, kEditStyle},
        {Slider(&P::brightness), kTrackbarClass, u"Slider1", 209, 91, 80, 12, kTrackbarStyle},
        {Slider(&P::threshold), kTrackbarClass, u"Slider1", 209, 109, 80, 12, kTrackbarStyle},
        {Slider(&P::angle), kTrackbarClass, u"Slider1", 209, 145, 80, 12, kTrackbarStyle},
        {Slider(&P::lineType), kTrackbarClass, u"Slider1", 209, 163, 80, 12, kTrackbarStyle},
        {Slider(&P::h0Density), kTrackbarClass, u"Slider1", 50, 20, 80, 12, kTrackbarStyle},
        {Slider(&P::h0Extent), kTrackbarClass, u"Slider1", 50, 37, 80, 12, kTrackbarStyle},
        {Slider(&P::spDensity), kTrackbarClass, u"Slider1", 50, 111, 80, 12, kTrackbarStyle},
        {Slider(&P::spExtent), kTrackbarClass, u"Slider1", 50, 128, 80, 12, kTrackbarStyle},
        {Slider(&P::spAmplitude), kTrackbarClass, u"Slider1", 50, 146, 80, 12, kTrackbarStyle},
        {Slider(&P::spDephase), kTrackbarClass, u"Slider1", 50, 164, 80, 12, kTrackbarStyle},
        {Caption(&P::brightness), kStaticClass, u"Brightns", 169, 91, 35, 12, kCaptionStyle},
        {Caption(&P::threshold), kStaticClass, u"Threshld", 169, 109, 35, 12, kCaptionStyle},
        {Caption(&P::angle), kStaticClass, u"Angle", 169, 145, 35, 12, kCaptionStyle},
        {kZoomLabel, kStaticClass, u"100%", 245, 36, 19, 15, 0x50020201},
        {Caption(&P::lineType), kStaticClass, u"Linetype", 169, 163, 35, 12, kCaptionStyle},
        {kHighlightGroup, kButtonClass, u"Highlight", 7, 7, 153, 87, kGroupBoxStyle},
        {Caption(&P::h0Density), kStaticClass, u"H0 Density", 10, 20, 35, 12, kCaptionStyle},
        {Caption(&P::h0Extent), kStaticClass, u"H0 Extent", 10, 37, 35, 12, kCaptionStyle},
        {kSpectrumGroup, kButtonClass, u"Spectrum", 7, 98, 153, 86, kGroupBoxStyle},
        {Caption(&P::spDensity), kStaticClass, u"Density", 10, 111, 35, 12, kCaptionStyle},
        {Caption(&P::spExtent), kStaticClass, u"Extent", 10, 128, 35, 12, kCaptionStyle},
        {Caption(&P::spAmplitude), kStaticClass, u"Amp", 10, 146, 35, 12, kCaptionStyle},
        {Caption(&P::spDephase), kStaticClass, u"Dephasing", 10, 164, 35, 12, kCaptionStyle},
        {Caption(&P::thresholdType), kStaticClass, u"ThrshType", 169, 130, 35, 8, kCaptionStyle},
        {Edit(&P::h1Density), kEditClass, u"", 130, 54, 20, 12, kEditStyle},
        {Edit(&P::h1Extent), kEditClass, u"", 130, 71, 20, 12, kEditStyle},
        {Slider(&P::h1Density), kTrackbarClass, u"Slider1", 50, 54, 80, 12, kTrackbarStyle},
        {Slider(&P::h1Extent), kTrackbarClass, u"Slider1", 50, 71, 80, 12, kTrackbarStyle},
        {Caption(&P::h1Density), kStaticClass, u"H1 Density", 10, 54, 35, 12, kCaptionStyle},
        {Caption(&P::h1Extent), kStaticClass, u"H1 Extent", 10, 71, 35, 12, kCaptionStyle},
    };
}

void ClassOrName(ByteWriter& out, uint16_t windowClass) {
    if (windowClass == kTrackbarClass) {
        out.Utf16(kTrackbarClassName);
    } else {
        out.U16(0xFFFF);
        out.U16(windowClass);
    }
}

}  // namespace

std::vector<uint8_t> BuildParameterDialogTemplate() {
    ByteWriter out;
    out.U32(0x80C800C0);  // popup, caption, system menu, modal frame, set font
    out.U32(0);
    const std::vector<Control> controls = ParameterControls();
    out.U16(uint16_t(controls.size()));
    for (int16_t v : {0, 0, 325, 191}) out.U16(uint16_t(v));
    out.U16(0);  // no menu
    out.U16(0);  // default class
    out.Utf16(u"ﾀﾞｲｱﾛｸﾞ");
    out.U16(9);
    out.Utf16(kFontName);
    for (const Control& c : controls) {
        out.AlignTo(4);
        out.U32(c.style);
        out.U32(0);
        for (int16_t v : {c.x, c.y, c.cx, c.cy}) out.U16(uint16_t(v));
        out.U16(c.id);
        ClassOrName(out, c.windowClass);
        out.Utf16(c.text);
        out.U16(0);  // no creation data
    }
    return out.bytes;
}

std::vector<uint8_t> BuildAboutDialogTemplate() {
    ByteWriter out;
    out.U16(1);       // template version
    out.U16(0xFFFF);  // extended template
    out.U32(0);       // help id
    out.U32(0);       // extended style
    out.U32(0x800000C0);  // popup, modal frame, set font
    out.U16(1);
    for (int16_t v : {0, 0, 162, 100}) out.U16(uint16_t(v));
    out.U16(0);  // no menu
    out.U16(0);  // default class
    out.U16(0);  // empty title
    out.U16(9);  // points
    out.U16(0);  // weight
    out.U8(0);   // not italic
    out.U8(1);   // character set
    out.Utf16(kFontName);
    out.AlignTo(4);
    out.U32(0);           // help id
    out.U32(0x00000010);  // extended style
    out.U32(0x50020001);  // child, visible, group, centred
    for (int16_t v : {7, 7, 148, 86}) out.U16(uint16_t(v));
    out.U32(kAboutText);
    ClassOrName(out, kStaticClass);
    out.U16(0);  // empty text
    out.U16(0);  // no creation data
    return out.bytes;
}
