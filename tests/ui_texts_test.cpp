// The texts of every language: chosen from the user's UI language, the
// Japanese ones the resources' own code page 932 labels and the English ones
// the command's, alerts whole after expansion. (The dialog shows each table
// control by control: parameter_dialog_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "core/parameter_names.h"
#include "tests/test_support.h"
#include "ui/alert_text.h"
#include "ui/ui_texts.h"

namespace {

const UiLanguage kLanguages[] = {UiLanguage::English, UiLanguage::Japanese, UiLanguage::German,
                                 UiLanguage::ChineseSimplified};

// Well-formed UTF-8, so that no text reaches the wide calls cut or broken.
bool WellFormed(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = uint8_t(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((uint8_t(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

}  // namespace

TEST(UiTexts, JapaneseIsTheResourcesLabelsAndEnglishTheCommands) {
    const UiTexts& japanese = UiTextsFor(UiLanguage::Japanese);
    const UiTexts& english = UiTextsFor(UiLanguage::English);
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(Cp932(japanese.parameterLabels[i]), kParameterTable[i].label) << i;
        EXPECT_EQ(english.parameterLabels[i], ParameterEnglishLabel(kParameterTable[i])) << i;
    }
    for (int t = 0; t < kThresholdTypeCount; ++t)
        EXPECT_EQ(Cp932(japanese.thresholdTypeLabels[t]), kThresholdTypeTable[t].label) << t;
    EXPECT_EQ(japanese.parameterLabels[0], u8"明るさ");
    EXPECT_EQ(english.thresholdTypeLabels[WeightedAverage], "Weighted");
}

TEST(UiTexts, TheLanguageComesFromTheUsersUiLanguage) {
    const struct {
        uint16_t id;
        UiLanguage language;
    } cases[] = {
        {0x0411, UiLanguage::Japanese},          {0x0407, UiLanguage::German},
        {0x0C07, UiLanguage::German},            {0x0807, UiLanguage::German},
        {0x0804, UiLanguage::ChineseSimplified}, {0x1004, UiLanguage::ChineseSimplified},
        {0x0404, UiLanguage::English},           {0x0C04, UiLanguage::English},  // traditional characters
        {0x0419, UiLanguage::English},           {0x0409, UiLanguage::English},
        {0x040C, UiLanguage::English},           {0x0000, UiLanguage::English},
    };
    for (const auto& c : cases) EXPECT_EQ(UiLanguageOf(c.id), c.language) << std::hex << c.id;
}

TEST(UiTexts, AlertsExpandWholeInEveryLanguage) {
    for (UiLanguage language : kLanguages) {
        const UiTexts& texts = UiTextsFor(language);
        for (const std::string* reason :
             {&texts.notEnoughMemory, &texts.badImageMode, &texts.badParameters, &texts.hostProblem}) {
            PString text = {0}, why = {0}, code = {0};
            AppendPString(text, texts.failureAlert.c_str(), 0, int(texts.failureAlert.size()));
            AppendPString(why, reason->c_str(), 0, int(reason->size()));
            LongToPString(-30100, code);
            ExpandAlertText(text, why, code, nullptr);
            const std::string shown = PStringChars(text);
            EXPECT_TRUE(WellFormed(shown)) << shown;
            EXPECT_NE(shown.find(*reason), std::string::npos) << shown;
            EXPECT_NE(shown.find("-30100"), std::string::npos) << shown << ": nothing cut";
        }
        PString text = {0}, version = {0};
        AppendPString(text, texts.advanceStateAlert.c_str(), 0, int(texts.advanceStateAlert.size()));
        DoubleToPString(3.0, 1, version);
        ExpandAlertText(text, nullptr, version, nullptr);
        const std::string shown = PStringChars(text);
        EXPECT_TRUE(WellFormed(shown)) << shown;
        EXPECT_NE(shown.find("3.0"), std::string::npos) << shown;
        EXPECT_EQ(shown.size(), texts.advanceStateAlert.size() + 1) << "^1 became 3.0, nothing was cut";
    }
}
