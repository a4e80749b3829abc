// Records the program's own TextOutA calls (the window code is linked into
// the test executable, so its import of TextOutA can be rerouted), with the
// state of the device context at each call. Every call still draws.
#pragma once

#include <windows.h>

#include <vector>

#include "painting_model.h"

namespace textout {

// The bytes drawn (`length` of them), with the text colour, the height of
// the selected font and the background mode in force.
using Call = painting::TextCall;

// Reroutes this executable's import of TextOutA. False if not found.
bool Install();

std::vector<Call>& Calls();

}  // namespace textout
