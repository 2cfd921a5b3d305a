// The handlers of the six selectors.
#pragma once

#include "host_services/filter_globals.h"
#include "interface/about_record.h"

void DoAbout(const AboutRecord* about);
void DoParameters(FilterGlobals* globals);
void DoPrepare(FilterGlobals* globals);
void DoStart(FilterGlobals* globals);
void DoContinue(FilterGlobals* globals);
void DoFinish(FilterGlobals* globals);
