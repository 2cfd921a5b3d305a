// The About box that the About selector shows.
#pragma once

#include "interface/about_record.h"

void ShowAboutBox(const AboutRecord* about);

#if !defined(_WIN32)
#include <functional>
// Without a window system the box is played by a handler that the caller installs.
void SetAboutBoxHandler(std::function<void(const AboutRecord*)> handler);
#endif
