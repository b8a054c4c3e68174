// The Windows half of the fatal report (Fatal.h): the report box, the memory kept back for
// it, and the end of event delivery once it begins. It sits below every other room: what it
// needs from the rooms above (the tags it names, the clean-up it ends with) they give it here.
#pragma once

#include "Fatal.h"

// Keeps back the memory the fatal report needs to show itself after the heap has run out.
void KeepReportReserve();

// Whether a fatal report has begun; from then on no event is delivered.
bool FatalReportBegun();

// The tags of loaded windows and controls the report names, and the clean-up it runs before
// the process ends. Until they are given, the report finds no window and cleans nothing up.
void SetFatalReportHooks(const ErrorLocationLookup* tags, void (*cleanup)());
