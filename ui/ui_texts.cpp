#include "ui/ui_texts.h"

#include "core/parameter_names.h"

namespace {

// The whys of a failure and the alerts, in English (the resources' own
// string table holds the same alerts, for hosts that read it).
void SetEnglishAlerts(UiTexts* t) {
    t->advanceStateAlert = u8"Glyra cannot run in this application: it needs a host of the Photoshop filter "
                           u8"interface ^1 or later, which lets the filter request image data (advanceState).";
    t->failureAlert = u8"Glyra could not filter the image: ^0 (error ^1).";
    t->notEnoughMemory = u8"there is not enough memory";
    t->badImageMode = u8"the image's mode or planes cannot be filtered";
    t->badParameters = u8"the host passed parameters the filter cannot use";
    t->hostProblem = u8"the host reported a problem while passing the image";
}

UiTexts English() {
    UiTexts t;
    t.language = UiLanguage::English;
    for (int i = 0; i < kParameterCount; ++i) t.parameterLabels[i] = ParameterEnglishLabel(kParameterTable[i]);
    for (int i = 0; i < kThresholdTypeCount; ++i) {
        std::string name = kThresholdTypeTable[i].name;
        name[0] = char(name[0] - 'a' + 'A');
        t.thresholdTypeLabels[i] = name;
    }
    t.generalGroup = u8"General";
    t.highlightGroup = u8"Highlight";
    t.spectrumGroup = u8"Spectrum";
    t.ok = u8"OK";
    t.cancel = u8"Cancel";
    SetEnglishAlerts(&t);
    return t;
}

UiTexts Japanese() {
    UiTexts t;
    t.language = UiLanguage::Japanese;
    for (int i = 0; i < kParameterCount; ++i) t.parameterLabels[i] = Cp932ToUtf8(kParameterTable[i].label);
    for (int i = 0; i < kThresholdTypeCount; ++i) t.thresholdTypeLabels[i] = Cp932ToUtf8(kThresholdTypeTable[i].label);
    t.generalGroup = u8"全般";
    t.highlightGroup = u8"ハイライト";
    t.spectrumGroup = u8"スペクトル";
    t.ok = u8"OK";
    t.cancel = u8"ｷｬﾝｾﾙ";  // as the dialog template has it
    t.advanceStateAlert = u8"Glyra はこのアプリケーションでは動作しません。フィルタが画像データを要求できる"
                          u8" (advanceState) Photoshop フィルタインターフェイス ^1 以降のホストが必要です。";
    t.failureAlert = u8"Glyra は画像を処理できませんでした: ^0 (エラー ^1)。";
    t.notEnoughMemory = u8"メモリが足りません";
    t.badImageMode = u8"画像のモードまたはチャンネルを処理できません";
    t.badParameters = u8"ホストがフィルタの使えないパラメータを渡しました";
    t.hostProblem = u8"ホストが画像の受け渡し中に問題を報告しました";
    t.keepTemplateFont = true;
    return t;
}

UiTexts German() {
    UiTexts t;
    t.language = UiLanguage::German;
    const char* const labels[kParameterCount] = {
        u8"Helligkeit", u8"Schwelle",  u8"Schwellentyp", u8"Winkel",    u8"Linienart",    u8"H0-Stärke",
        u8"H0-Weite",   u8"H1-Stärke", u8"H1-Weite",     u8"SP-Stärke", u8"SP-Weite",     u8"SP-Amplitude",
        u8"SP-Phasenversatz"};
    for (int i = 0; i < kParameterCount; ++i) t.parameterLabels[i] = labels[i];
    t.thresholdTypeLabels[0] = u8"Einfach";
    t.thresholdTypeLabels[1] = u8"Mittelwert";
    t.thresholdTypeLabels[2] = u8"Gewichtet";
    t.generalGroup = u8"Allgemein";
    t.highlightGroup = u8"Glanzlicht";
    t.spectrumGroup = u8"Spektrum";
    t.ok = u8"OK";
    t.cancel = u8"Abbrechen";
    t.advanceStateAlert = u8"Glyra kann in diesem Programm nicht laufen: Es braucht einen Host der "
                          u8"Photoshop-Filterschnittstelle ^1 oder neuer, bei dem der Filter Bilddaten anfordern "
                          u8"kann (advanceState).";
    t.failureAlert = u8"Glyra konnte das Bild nicht filtern: ^0 (Fehler ^1).";
    t.notEnoughMemory = u8"Der Speicher reicht nicht aus";
    t.badImageMode = u8"Modus oder Kanäle des Bildes lassen sich nicht filtern";
    t.badParameters = u8"Der Host übergab Parameter, die der Filter nicht verwenden kann";
    t.hostProblem = u8"Der Host meldete ein Problem bei der Übergabe des Bildes";
    return t;
}

UiTexts ChineseSimplified() {
    UiTexts t;
    t.language = UiLanguage::ChineseSimplified;
    const char* const labels[kParameterCount] = {u8"亮度",    u8"阈值",    u8"阈值类型", u8"角度",    u8"线型",
                                                 u8"H0 强度", u8"H0 范围", u8"H1 强度",  u8"H1 范围", u8"SP 强度",
                                                 u8"SP 范围", u8"SP 振幅", u8"SP 相移"};
    for (int i = 0; i < kParameterCount; ++i) t.parameterLabels[i] = labels[i];
    t.thresholdTypeLabels[0] = u8"普通";
    t.thresholdTypeLabels[1] = u8"平均";
    t.thresholdTypeLabels[2] = u8"加权平均";
    t.generalGroup = u8"常规";
    t.highlightGroup = u8"高光";
    t.spectrumGroup = u8"光谱";
    t.ok = u8"确定";
    t.cancel = u8"取消";
    t.advanceStateAlert = u8"Glyra 无法在此程序中运行：它需要 Photoshop 滤镜接口 ^1 或更高版本、"
                          u8"允许滤镜请求图像数据 (advanceState) 的宿主程序。";
    t.failureAlert = u8"Glyra 无法处理该图像：^0（错误 ^1）。";
    t.notEnoughMemory = u8"内存不足";
    t.badImageMode = u8"无法处理该图像的模式或通道";
    t.badParameters = u8"宿主程序传递了滤镜无法使用的参数";
    t.hostProblem = u8"宿主程序在传递图像时报告了问题";
    // The system's CJK UI fonts: Windows 8 and later, Vista and 7, and every Windows before.
    t.fontFaces = {u8"Microsoft YaHei UI", u8"Microsoft YaHei", u8"SimSun"};
    return t;
}

}  // namespace

const UiTexts& UiTextsFor(UiLanguage language) {
    static const UiTexts kEnglish = English(), kJapanese = Japanese(), kGerman = German(),
                         kChinese = ChineseSimplified();
    switch (language) {
        case UiLanguage::Japanese: return kJapanese;
        case UiLanguage::German: return kGerman;
        case UiLanguage::ChineseSimplified: return kChinese;
        default: return kEnglish;
    }
}

UiLanguage UiLanguageOf(uint16_t languageId) {
    const unsigned primary = languageId & 0x3FF, sub = languageId >> 10;
    if (primary == 0x11) return UiLanguage::Japanese;
    if (primary == 0x07) return UiLanguage::German;
    // Chinese: the People's Republic and Singapore write simplified characters.
    if (primary == 0x04 && (sub == 0x02 || sub == 0x04)) return UiLanguage::ChineseSimplified;
    return UiLanguage::English;
}

const UiTexts& CurrentUiTexts() {
    static const UiTexts& texts = UiTextsFor(UiLanguageOf(UserUiLanguageId()));
    return texts;
}
