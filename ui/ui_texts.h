// What the dialog, the About box and the alerts say, in the user's language:
// one table of texts per language, all UTF-8, chosen once from the user's UI
// language (Japanese, German, Simplified Chinese, else English). The window
// system's layer turns them into UTF-16 for the wide calls, so that no text
// ever passes through the system's ANSI code page. Adding a language is
// adding one table here and its entry in UiLanguageOf.
//
// The English labels are the command's and the GEGL and frei0r modules'
// (core/parameter_names.h); the Japanese ones are the parameter table's code
// page 932 labels, converted explicitly, so the resources and the dialog can
// never disagree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/parameter_table.h"

enum class UiLanguage { English, Japanese, German, ChineseSimplified };

struct UiTexts {
    UiLanguage language = UiLanguage::English;
    std::string parameterLabels[kParameterCount];      // captions, in the parameter table's order
    std::string thresholdTypeLabels[kThresholdTypeCount];  // radio buttons
    std::string generalGroup, highlightGroup, spectrumGroup;
    std::string ok, cancel;
    // The alerts' texts, with ^0 and ^1 for what is filled in.
    std::string advanceStateAlert;  // ^1: the interface version needed
    std::string failureAlert;       // ^0: why, ^1: the result code
    std::string notEnoughMemory, badImageMode, badParameters, hostProblem;  // the whys
    // Font faces to use, the first one installed; empty: the system's dialog
    // font (Latin and Cyrillic scripts). keepTemplateFont: the dialog
    // template's own font, for which its geometry was drawn.
    std::vector<std::string> fontFaces;
    bool keepTemplateFont = false;
};

const UiTexts& UiTextsFor(UiLanguage language);
// A Windows language id (LANGID) to the language shown: Japanese, German,
// Simplified Chinese (China, Singapore), and English for every other.
UiLanguage UiLanguageOf(uint16_t languageId);
// The texts of the user's UI language, chosen at the first call.
const UiTexts& CurrentUiTexts();

// The window system's side (ui/win32/, ui/native/): the user's UI language
// as a LANGID, and code page 932 text as UTF-8.
uint16_t UserUiLanguageId();
std::string Cp932ToUtf8(const char* text);
