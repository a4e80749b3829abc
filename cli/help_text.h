// The parts of --help that say more than the options: how passwords are
// read, and the exit codes (from exit_codes.h, in the user's language).
#pragma once

#include <string>

std::string HelpFooter();
