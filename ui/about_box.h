// The About box that the About selector shows.
#pragma once

#include "interface/about_record.h"

void ShowAboutBox(const AboutRecord* about);

// The text of the About box: name, version and full name, one empty line apart.
constexpr const char kAboutBoxText[] = "Glyra\n\n0.4.4\n\nGlyra Filter";

#if !defined(_WIN32)
#include <functional>
// Without a window system the box is played by a handler that the caller installs.
void SetAboutBoxHandler(std::function<void(const AboutRecord*)> handler);
#endif
