// The About box that the About selector shows.
#pragma once

#include "core/version.h"
#include "interface/about_record.h"

void ShowAboutBox(const AboutRecord* about);

// The text of the About box: name, version and full name, one empty line apart.
constexpr const char kAboutBoxText[] = "Glyra\n\n" GLYRA_VERSION_TEXT "\n\nGlyra Filter";

